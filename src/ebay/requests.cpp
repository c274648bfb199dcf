#include "ebay/requests.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace ebay {
namespace {

// Everything but the unreserved characters escaped: "|" becomes %7C, "+" %2B, "#" %23.
QByteArray escaped(const QString& text) {
  return QUrl::toPercentEncoding(text);
}

QUrl url(const QString& host, const QByteArray& encodedPathAndQuery) {
  return QUrl::fromEncoded(host.toUtf8() + encodedPathAndQuery, QUrl::StrictMode);
}

ApiRequest tokenRequest(const Hosts& hosts, const Keyset& keyset, const QByteArray& form) {
  const QByteArray basic = (keyset.appId + QLatin1Char(':') + keyset.certId).toUtf8().toBase64();
  return {"POST",
          url(hosts.api, "/identity/v1/oauth2/token"),
          {{"Authorization", "Basic " + basic},
           {"Content-Type", "application/x-www-form-urlencoded"},
           {"Accept", "application/json"}},
          form};
}

ApiRequest apiCall(const QByteArray& method, const Hosts& hosts, const Keyset& keyset,
                   const QString& token, const QByteArray& path) {
  return {method,
          url(hosts.api, path),
          {{"Authorization", "Bearer " + token.toUtf8()},
           {"X-EBAY-C-MARKETPLACE-ID", keyset.marketplace.toUtf8()},
           {"Accept", "application/json"}},
          {}};
}

QByteArray userScopes() {
  return escaped(kPublicScope + QLatin1Char(' ') + kBidScope);
}
}  // namespace

QByteArray ApiRequest::header(const QByteArray& name) const {
  for (const auto& h : headers)
    if (h.first.compare(name, Qt::CaseInsensitive) == 0) return h.second;
  return {};
}

QString restItemId(const QString& legacyItemId) {
  return QStringLiteral("v1|") + legacyItemId + QStringLiteral("|0");
}

namespace requests {

ApiRequest applicationToken(const Hosts& hosts, const Keyset& keyset) {
  return tokenRequest(hosts, keyset,
                      "grant_type=client_credentials&scope=" + escaped(kPublicScope));
}

ApiRequest exchangeCode(const Hosts& hosts, const Keyset& keyset, const QString& code) {
  return tokenRequest(hosts, keyset,
                      "grant_type=authorization_code&code=" + escaped(code) +
                          "&redirect_uri=" + escaped(keyset.ruName));
}

ApiRequest refreshUserToken(const Hosts& hosts, const Keyset& keyset, const QString& refreshToken) {
  return tokenRequest(
      hosts, keyset,
      "grant_type=refresh_token&refresh_token=" + escaped(refreshToken) + "&scope=" + userScopes());
}

QUrl consentPage(const Hosts& hosts, const Keyset& keyset, const QString& state) {
  return url(hosts.auth, "/oauth2/authorize?client_id=" + escaped(keyset.appId) + "&redirect_uri=" +
                             escaped(keyset.ruName) + "&response_type=code&scope=" + userScopes() +
                             "&state=" + escaped(state));
}

ApiRequest itemByLegacyId(const Hosts& hosts, const Keyset& keyset, const QString& token,
                          const QString& legacyItemId) {
  return apiCall(
      "GET", hosts, keyset, token,
      "/buy/browse/v1/item/get_item_by_legacy_id?legacy_item_id=" + escaped(legacyItemId));
}

ApiRequest itemCompact(const Hosts& hosts, const Keyset& keyset, const QString& token,
                       const QString& itemId) {
  return apiCall("GET", hosts, keyset, token,
                 "/buy/browse/v1/item/" + escaped(itemId) + "?fieldgroups=COMPACT");
}

ApiRequest placeProxyBid(const Hosts& hosts, const Keyset& keyset, const QString& token,
                         const QString& itemId, const Money& maxAmount, bool adultOnlyConsent) {
  ApiRequest r = apiCall("POST", hosts, keyset, token,
                         "/buy/offer/v1_beta/bidding/" + escaped(itemId) + "/place_proxy_bid");
  r.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("application/json")));
  const QJsonObject body{
      {QStringLiteral("maxAmount"), QJsonObject{{QStringLiteral("currency"), maxAmount.currency},
                                                {QStringLiteral("value"), maxAmount.value}}},
      {QStringLiteral("userConsent"),
       QJsonObject{{QStringLiteral("adultOnlyItem"), adultOnlyConsent}}}};
  r.body = QJsonDocument(body).toJson(QJsonDocument::Compact);
  return r;
}

ApiRequest bidding(const Hosts& hosts, const Keyset& keyset, const QString& token,
                   const QString& itemId) {
  return apiCall("GET", hosts, keyset, token, "/buy/offer/v1_beta/bidding/" + escaped(itemId));
}

}  // namespace requests
}  // namespace ebay
