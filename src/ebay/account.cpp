#include "ebay/account.h"

#include "bidding/endpoints.h"
#include "ebay/ebaytime.h"
#include "ebay/route.h"

namespace ebay {

Hosts hostsFor(Environment environment, const Endpoints& endpoints) {
  Hosts hosts =
      environment == Environment::Production
          ? Hosts{QStringLiteral("https://api.ebay.com"), QStringLiteral("https://auth.ebay.com")}
          : Hosts{QStringLiteral("https://api.sandbox.ebay.com"),
                  QStringLiteral("https://auth.sandbox.ebay.com")};
  // Tokens and the Cert ID go over plain http to this computer only.
  const auto take = [](const QString& host, QString& target) {
    if (!host.isEmpty() && route::passwordMayGoTo(QUrl(host))) target = host;
  };
  take(endpoints.ebayApiHost, hosts.api);
  take(endpoints.ebayAuthHost, hosts.auth);
  return hosts;
}

QString signInText(const Account& account, qint64 nowMs) {
  if (account.signedIn(nowMs))
    return QStringLiteral("Angemeldet, gültig bis ") +
           instantOfLocalMs(account.refreshToken.expiresAtMs)
               .toString(QStringLiteral("dd.MM.yyyy HH:mm"));
  if (!account.lastFailure.isEmpty())
    return QStringLiteral("Nicht angemeldet: ") + account.lastFailure;
  return QStringLiteral("Nicht angemeldet");
}

void Account::forgetTokens() {
  applicationToken = {};
  userToken = {};
  refreshToken = {};
  pendingState.clear();
}

}  // namespace ebay
