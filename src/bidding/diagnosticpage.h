#pragma once

#include <QString>

// The diagnostic pages keep what the site answered, never the account's password.
namespace diagnosticpage {

// The page with the value of every password input (type="password", any case, quoted or not)
// that holds one replaced by "***", and the account's password itself replaced by "***"
// wherever else it appears, in every form a page can carry it: as typed, in UTF-8, URL-encoded,
// as character references or escapes, and any mixture of these (diagnosticpage.cpp lists them).
QString maskPasswords(const QString& page, const QString& password);

}  // namespace diagnosticpage
