#include "ebay/accountstore.h"

#include "app/settings.h"
#include "ebay/ebaytime.h"
#include "ebay/secrets.h"

namespace ebay::accountstore {
namespace {
const QString kProduction = QStringLiteral("Produktion");
const QString kSandbox = QStringLiteral("Sandbox");

QString get(const SettingsStore& s, const QString& key) {
  return s.GetSetting(settingskeys::kApp, settingskeys::kSection, key);
}
void put(SettingsStore& s, const QString& key, const QString& value) {
  s.SaveSetting(settingskeys::kApp, settingskeys::kSection, key, value);
}
}  // namespace

void load(Account& account, const SettingsStore& settings, Secrets& secrets) {
  Keyset& k = account.keyset;
  k.appId = get(settings, kAppId);
  k.ruName = get(settings, kRuName);
  k.environment =
      get(settings, kEnvironment) == kProduction ? Environment::Production : Environment::Sandbox;
  const QString marketplace = get(settings, kMarketplace);
  k.marketplace = marketplace.isEmpty() ? kDefaultMarketplace : marketplace;
  account.forgetTokens();
  k.certId.clear();
  if (!k.appId.isEmpty()) {
    k.certId = secrets.read(kCertIdName);
    const auto until = parseUtc(get(settings, kSignInUntil));
    if (until) {
      account.refreshToken.value = secrets.read(kRefreshTokenName);
      account.refreshToken.expiresAtMs = localMsOf(*until);
    }
  }
  account.loaded = true;
}

bool saveKeyset(Account& account, const Keyset& keyset, SettingsStore& settings, Secrets& secrets,
                QString* problem) {
  const Keyset old = account.keyset;
  if (old.appId != keyset.appId || old.environment != keyset.environment)
    signOut(account, settings, secrets);
  put(settings, kAppId, keyset.appId);
  put(settings, kRuName, keyset.ruName);
  put(settings, kEnvironment,
      keyset.environment == Environment::Production ? kProduction : kSandbox);
  put(settings, kMarketplace, keyset.marketplace);
  account.keyset = keyset;
  account.applicationToken = {};  // a token of another keyset
  if (keyset.certId == old.certId) return true;
  const bool ok = keyset.certId.isEmpty() ? (secrets.remove(kCertIdName), true)
                                          : secrets.write(kCertIdName, keyset.certId);
  if (!ok && problem) *problem = secrets.problem();
  return ok;
}

bool saveSignIn(const Account& account, SettingsStore& settings, Secrets& secrets,
                QString* problem) {
  if (!secrets.write(kRefreshTokenName, account.refreshToken.value)) {
    if (problem) *problem = secrets.problem();
    return false;
  }
  put(settings, kSignInUntil, formatUtc(instantOfLocalMs(account.refreshToken.expiresAtMs)));
  return true;
}

void signOut(Account& account, SettingsStore& settings, Secrets& secrets) {
  account.forgetTokens();
  account.lastFailure.clear();
  put(settings, kSignInUntil, QString());
  secrets.remove(kRefreshTokenName);
}

}  // namespace ebay::accountstore
