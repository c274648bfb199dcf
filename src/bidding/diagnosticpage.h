#pragma once

#include <QString>

// The diagnostic pages keep what the site answered, never the account's password.
namespace diagnosticpage {

// The page with the value of every password input (type="password", any case, quoted or not)
// that holds one replaced by "***", and the account's password itself replaced by "***"
// wherever else it appears: as typed, HTML-escaped and URL-encoded as the bid form sends it.
QString maskPasswords(const QString& page, const QString& password);

}  // namespace diagnosticpage
