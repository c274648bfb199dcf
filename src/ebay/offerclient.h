#pragma once

#include <QObject>
#include <functional>
#include <optional>

#include "bidding/bidoutcome.h"
#include "ebay/account.h"
#include "ebay/amount.h"
#include "ebay/answers.h"

class Clock;

// The bid through eBay's Offer API with the user token: place_proxy_bid, then the buyer's
// bidding to tell the high bid from being outbid; the bidding again after the auction's end.
// A bid answered 401 is sent once more with a renewed token while the end leaves time.
namespace ebay {
class OAuthClient;
class Transport;

struct BidResult {
  BidOutcome outcome;
  bool placed = false;  // eBay took the bid
  QString proxyBidId;
  int status = 0;  // the bid's HTTP status; 0 without an answer
};

struct BiddingResult {
  std::optional<Bidding> bidding;
  int status = 0;
  QList<ApiError> errors;
};

class OfferClient {
 public:
  OfferClient(OAuthClient& oauth, Transport& transport, Account& account, Clock& clock);

  // `endMs`: the auction's end on the program's clock.
  void placeBid(const QString& itemId, const Money& maxAmount, bool adultOnlyConsent, qint64 endMs,
                QObject* context, std::function<void(const BidResult&)> done);
  void bidding(const QString& itemId, QObject* context,
               std::function<void(const BiddingResult&)> done);
  // A bid answered 429 or 5xx (eBay took nothing) goes out once more while this much remains
  // before the end, as a stalled first request of the classic bid does.
  void setResendMarginMs(qint64 ms) { m_resendMarginMs = ms; }

 private:
  struct Bid {
    QString itemId;
    Money maxAmount;
    bool adultOnlyConsent = false;
    qint64 endMs = 0;
    int retries = 0;
  };
  void send(Bid bid, QObject* context, std::function<void(const BidResult&)> done);

  OAuthClient& m_oauth;
  Transport& m_transport;
  Account& m_account;
  Clock& m_clock;
  qint64 m_resendMarginMs = 2000;
};

}  // namespace ebay
