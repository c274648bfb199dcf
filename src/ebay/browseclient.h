#pragma once

#include <QObject>
#include <functional>
#include <optional>

#include "ebay/account.h"
#include "ebay/answers.h"

// Item data from eBay's Browse API with the application token: the item by its number, and
// its price and bids again (COMPACT) while the program waits for its end. A token eBay refuses
// (401) is replaced once.
namespace ebay {
class OAuthClient;
class Transport;

struct ItemResult {
  std::optional<ItemData> item;
  int status = 0;   // HTTP status; 0 without an answer
  QString failure;  // no item: why, in German
};

class BrowseClient {
 public:
  BrowseClient(OAuthClient& oauth, Transport& transport, Account& account);

  using Done = std::function<void(const ItemResult&)>;
  // The item of a legacy item number (get_item_by_legacy_id).
  void item(const QString& legacyItemId, QObject* context, Done done);
  // Price, minimum bid and bid count again (item/{item_id}?fieldgroups=COMPACT).
  void refresh(const QString& itemId, QObject* context, Done done);

 private:
  void call(bool legacy, const QString& id, QObject* context, Done done, bool retried);

  OAuthClient& m_oauth;
  Transport& m_transport;
  Account& m_account;
};

}  // namespace ebay
