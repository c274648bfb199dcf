#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

#include "ebay/account.h"
#include "ebay/amount.h"

// The requests of eBay's API as the program sends them, built apart from the transfer so that
// each can be checked against eBay's documents: paths with the item id percent-encoded
// ("v1%7C...%7C0"), the marketplace header, the token in "Authorization", JSON bodies.
namespace ebay {

inline const QString kPublicScope = QStringLiteral("https://api.ebay.com/oauth/api_scope");
inline const QString kBidScope =
    QStringLiteral("https://api.ebay.com/oauth/api_scope/buy.offer.auction");

struct ApiRequest {
  QByteArray method;  // "GET" or "POST"
  QUrl url;
  QList<QPair<QByteArray, QByteArray>> headers;
  QByteArray body;
  QByteArray header(const QByteArray& name) const;
};

// "v1|<number>|0", the id the Browse and Offer calls take.
QString restItemId(const QString& legacyItemId);

namespace requests {

// Token endpoint: Basic authentication with App ID and Cert ID, a form body.
ApiRequest applicationToken(const Hosts& hosts, const Keyset& keyset);
ApiRequest exchangeCode(const Hosts& hosts, const Keyset& keyset, const QString& code);
ApiRequest refreshUserToken(const Hosts& hosts, const Keyset& keyset, const QString& refreshToken);
// The consent page the user's browser opens.
QUrl consentPage(const Hosts& hosts, const Keyset& keyset, const QString& state);

// Browse, with an application token.
ApiRequest itemByLegacyId(const Hosts& hosts, const Keyset& keyset, const QString& token,
                          const QString& legacyItemId);
ApiRequest itemCompact(const Hosts& hosts, const Keyset& keyset, const QString& token,
                       const QString& itemId);

// Offer, with a user token.
ApiRequest placeProxyBid(const Hosts& hosts, const Keyset& keyset, const QString& token,
                         const QString& itemId, const Money& maxAmount, bool adultOnlyConsent);
ApiRequest bidding(const Hosts& hosts, const Keyset& keyset, const QString& token,
                   const QString& itemId);

}  // namespace requests
}  // namespace ebay
