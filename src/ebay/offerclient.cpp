#include "ebay/offerclient.h"

#include "ebay/oauthclient.h"
#include "ebay/outcome.h"
#include "ebay/requests.h"
#include "ebay/tokentiming.h"
#include "ebay/transport.h"
#include "platform/clock.h"

namespace ebay {

OfferClient::OfferClient(OAuthClient& oauth, Transport& transport, Account& account, Clock& clock)
    : m_oauth(oauth), m_transport(transport), m_account(account), m_clock(clock) {}

void OfferClient::placeBid(const QString& itemId, const Money& maxAmount, bool adultOnlyConsent,
                           qint64 endMs, QObject* context,
                           std::function<void(const BidResult&)> done) {
  send({itemId, maxAmount, adultOnlyConsent, endMs, 0}, context, std::move(done));
}

void OfferClient::send(Bid bid, QObject* context, std::function<void(const BidResult&)> done) {
  // A token renewed before the trigger is used as it is; only one that cannot carry the
  // request is renewed here.
  m_oauth.userToken(context, [=, this](const QString& token, const QString& failure) {
    if (token.isEmpty()) {
      BidResult r{outcome::ofAnswer(401, {}), false, {}, 0};
      r.outcome.logLines.append(QStringLiteral("eBay-Gebot - ") + failure);
      return done(r);
    }
    const ApiRequest request = requests::placeProxyBid(
        m_oauth.hosts(), m_account.keyset, token, bid.itemId, bid.maxAmount, bid.adultOnlyConsent);
    m_transport.send(request, context, [=, this](const ApiReply& reply) {
      if (reply.status == 401 &&
          tokentiming::retryAfterUnauthorized(m_clock.localMs(), bid.endMs, bid.retries)) {
        m_account.userToken = {};  // refused: renewed once, the bid sent again
        Bid again = bid;
        ++again.retries;
        return send(again, context, done);
      }
      const bool refusedForNow = reply.status == 429 || reply.status >= 500;
      if (refusedForNow && bid.retries == 0 && bid.endMs - m_clock.localMs() >= m_resendMarginMs) {
        Bid again = bid;
        ++again.retries;
        return send(again, context, done);
      }
      if (reply.status == 0)
        return done({outcome::noAnswer(reply.sent, reply.networkError), false, {}, 0});
      if (reply.status != 200)
        return done({outcome::ofAnswer(reply.status, answers::errors(reply.body)),
                     false,
                     {},
                     reply.status});
      const QString proxyBidId = answers::proxyBidId(reply.body).value_or(QString());
      bidding(bid.itemId, context, [=](const BiddingResult& result) {
        done({outcome::placed(result.bidding), true, proxyBidId, reply.status});
      });
    });
  });
}

void OfferClient::bidding(const QString& itemId, QObject* context,
                          std::function<void(const BiddingResult&)> done) {
  m_oauth.userToken(context, [=, this](const QString& token, const QString&) {
    if (token.isEmpty()) return done({std::nullopt, 401, {}});
    m_transport.send(requests::bidding(m_oauth.hosts(), m_account.keyset, token, itemId), context,
                     [done](const ApiReply& reply) {
                       BiddingResult r{std::nullopt, reply.status, answers::errors(reply.body)};
                       if (reply.status == 200) r.bidding = answers::bidding(reply.body);
                       done(r);
                     });
  });
}

}  // namespace ebay
