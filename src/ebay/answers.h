#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "ebay/amount.h"

// The answers of eBay's API as the program reads them (QJsonDocument; amounts stay decimal
// strings). A field of the wrong type makes the whole answer unreadable rather than be guessed.
namespace ebay {

// An item from the Browse API (all of it, or its COMPACT field group).
struct ItemData {
  QString itemId;  // "v1|<number>|0"
  QString legacyItemId;
  QString title;  // not in COMPACT
  QString itemWebUrl;
  QStringList buyingOptions;  // "AUCTION", "FIXED_PRICE", ...
  bool adultOnly = false;
  std::optional<QDateTime> endUtc;  // auctions; not in COMPACT
  std::optional<Money> currentBidPrice, minimumPriceToBid, price;
  int bidCount = 0;
  bool isAuction() const { return buyingOptions.contains(QStringLiteral("AUCTION")); }
  // The listing's currency: that of the minimum bid, else of the price.
  QString currency() const;
};

// The buyer's bidding on an auction (Offer API).
struct Bidding {
  QString itemId;
  QString auctionStatus;  // "ACTIVE", "ENDED"
  bool highBidder = false;
  std::optional<Money> currentPrice, maxAmount;
  int bidCount = 0;
  std::optional<QDateTime> endUtc;
  bool ended() const { return auctionStatus == QLatin1String("ENDED"); }
};

struct ApiError {
  int errorId = 0;
  QString domain, category, message;
};

// The token endpoint's answer: a token, or error and error_description.
struct TokenAnswer {
  QString accessToken;
  qint64 expiresInS = 0;
  QString refreshToken;  // the authorization-code grant only
  qint64 refreshExpiresInS = 0;
  QString error, errorDescription;
  bool ok() const { return error.isEmpty() && !accessToken.isEmpty() && expiresInS > 0; }
};

namespace answers {
std::optional<ItemData> item(const QByteArray& json);
std::optional<Bidding> bidding(const QByteArray& json);
// place_proxy_bid's answer.
std::optional<QString> proxyBidId(const QByteArray& json);
// {"errors":[...]}; empty when there are none or the body is no such document.
QList<ApiError> errors(const QByteArray& json);
TokenAnswer token(const QByteArray& json);
}  // namespace answers

}  // namespace ebay
