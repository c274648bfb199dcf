#pragma once

#include <QString>

struct AppContext;

// The classic bid's saved password. Where the desktop keyring answers it lives there, and the
// "pass" setting stays empty: a password still scrambled in the settings (whose key is in the
// program's public source) is moved into the keyring the first time it is read. Without a
// keyring it is kept scrambled in "pass" as before.
namespace savedpassword {

inline const QString kKeyringName = QStringLiteral("ebay-passwort");

// The saved password, empty when there is none.
QString read(AppContext& ctx);

// What the "pass" setting is to hold for the password to keep (`keep` false: none): empty
// when the keyring took it (or nothing is kept, which also removes it from the keyring), else
// the scrambled password.
QString settingFor(AppContext& ctx, const QString& password, bool keep);

}  // namespace savedpassword
