#include "ebay/route.h"

#include <QHostAddress>

namespace ebay::route {

Choice choose(const Situation& s) {
  if (s.keysetComplete && s.signedIn) return {Route::Api, {}};
  if (s.classicSiteNamed) return {Route::Classic, {}};
  if (s.keysetComplete)
    return {Route::None, QStringLiteral("Nicht bei eBay angemeldet. Bitte unter Optionen, "
                                        "„eBay-Zugang…“, anmelden, dann erneut scharf "
                                        "schalten.")};
  return {Route::None,
          QStringLiteral("Zum Bieten fehlt der eBay-Zugang. Bitte unter Optionen, "
                         "„eBay-Zugang…“, das eigene eBay-Keyset (App ID, Cert ID, RuName) "
                         "eintragen und anmelden.")};
}

bool passwordMayGoTo(const QUrl& url) {
  if (!url.isValid() || url.host().isEmpty()) return false;
  if (url.scheme() == QLatin1String("https")) return true;
  if (url.scheme() != QLatin1String("http")) return false;
  if (url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) return true;
  const QHostAddress address(url.host());
  return !address.isNull() && address.isLoopback();
}

}  // namespace ebay::route
