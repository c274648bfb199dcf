#pragma once

#include <QString>

#include "ebay/account.h"

class SettingsStore;

// Where the account is kept between runs: App ID, RuName, environment, marketplace and when the
// sign-in expires in the settings; the Cert ID and the refresh token only through Secrets.
namespace ebay {
class Secrets;

namespace accountstore {

// Settings keys.
inline const QString kAppId = QStringLiteral("EbayAppId");
inline const QString kRuName = QStringLiteral("EbayRuName");
inline const QString kEnvironment = QStringLiteral("EbayUmgebung");  // "Sandbox", "Produktion"
inline const QString kMarketplace = QStringLiteral("EbayMarktplatz");
inline const QString kSignInUntil = QStringLiteral("EbayAnmeldungBis");  // UTC, ISO 8601

// Reads the keyset and the sign-in into the account (the secrets only when an App ID is set).
void load(Account& account, const SettingsStore& settings, Secrets& secrets);

// Keeps the keyset. Another App ID or environment ends the sign-in. False (with `problem`)
// when the Cert ID could not be kept.
bool saveKeyset(Account& account, const Keyset& keyset, SettingsStore& settings, Secrets& secrets,
                QString* problem);

// Keeps the refresh token the sign-in brought (the account holds it already).
bool saveSignIn(const Account& account, SettingsStore& settings, Secrets& secrets,
                QString* problem);

// Forgets the sign-in: in memory, in the settings and where the refresh token was kept.
void signOut(Account& account, SettingsStore& settings, Secrets& secrets);

}  // namespace accountstore
}  // namespace ebay
