#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

#include "app/context.h"
#include "bidding/bidoutcome.h"
#include "ebay/amount.h"
#include "ebay/answers.h"
#include "ebay/route.h"

class BidView;
namespace ebay {
class BrowseClient;
class OAuthClient;
class OfferClient;
class Secrets;
class Transport;
struct ItemResult;
}  // namespace ebay

// The bid through eBay's API for the main window, with the user's own keyset and sign-in:
// the account read at start, the item's data from the Browse API (read when an item is taken
// over, its price read again while armed), the user token renewed well before the trigger and
// never at it, the connection opened in the last seconds, the bid at the trigger and, after
// the auction's end, whether it was won. Times are the program's clock (Clock::localMs()).
class EbayRoute : public QObject {
  Q_OBJECT

 public:
  explicit EbayRoute(AppContext& ctx, QObject* parent = nullptr);
  ~EbayRoute() override;

  // Reads the keyset and the sign-in, once in a run.
  void load();
  // Which way a bid goes now, and with none the one message that says what to set up.
  ebay::route::Choice choice();
  // A keyset is set up: items are read through the Browse API.
  bool readsItems();

  // Reads an item by its number; `done` is not called when `context` is gone first.
  void readItem(const QString& legacyItemId, QObject* context,
                std::function<void(const ebay::ItemResult&)> done);
  // The item the window has taken over (forgets the consent of another one).
  void takeItem(const ebay::ItemData& item);
  const std::optional<ebay::ItemData>& item() const { return m_item; }
  // The window's item as the Browse API has it, read now and waited for when it is not the one
  // taken over last; false with the reason in German.
  bool itemFor(const QString& legacyItemId, QString* failure);
  // The user agreed to bid on the adult-only item taken over.
  void consentToAdultOnly() { m_adultConsent = true; }
  bool adultConsent() const { return m_adultConsent; }

  // Armed through the API for `amount` (in the item's currency): the price is read again now
  // and then, and the user token renewed before the trigger. Disarming ends both.
  void arm(const QString& amount, qint64 triggerMs, qint64 endMs);
  void disarm();
  bool armed() const { return m_armed; }
  // An evaluation of the countdown: opens the connection in the last seconds before the trigger.
  void countdownEvaluated(qint64 msToTrigger);
  // Places the bid and returns when its outcome is known: in the bid result text, the log and
  // the view, then reported to the vendor server as the classic bid is (code "A" + the code).
  void bid(BidView& view);
  // Renewals of the user token started within a minute before the trigger (none, by design).
  int renewalsNearTrigger() const { return m_renewalsNearTrigger; }
  // A bid went out through this route and eBay's verdict after the end is still to come.
  bool decidesAfterEnd() const { return m_awaitingVerdict; }

 signals:
  // Price, minimum bid or bid count of the item changed.
  void itemChanged();
  // After the end of an auction bid on: eBay's verdict (won: the auction ended with the user
  // as high bidder) and what the window, log and notification say.
  void auctionDecided(bool won, const BidOutcome& outcome);

 private:
  void ensureClients();
  void scheduleRefresh();
  void scheduleRenewal();
  void askAfterEnd(const QString& itemId, qint64 atMs, int attempt);
  void signOutRefused();

  AppContext& m_ctx;
  std::unique_ptr<ebay::Secrets> m_secrets;
  std::unique_ptr<ebay::Transport> m_transport;
  std::unique_ptr<ebay::OAuthClient> m_oauth;
  std::unique_ptr<ebay::BrowseClient> m_browse;
  std::unique_ptr<ebay::OfferClient> m_offer;
  std::optional<ebay::ItemData> m_item;
  bool m_adultConsent = false;
  bool m_armed = false;
  bool m_awaitingVerdict = false;
  ebay::Money m_amount;
  qint64 m_triggerMs = 0;
  qint64 m_endMs = 0;
  int m_generation = 0;  // a new armed period leaves the timers of the last one unheeded
  qint64 m_lastWarmUpMs = 0;
  int m_renewalsNearTrigger = 0;
};
