#pragma once

#include <QString>

// The stored password is scrambled with a fixed key of 87 characters.
namespace scramble {
// The program's password key.
const QString& passwordKey();
}  // namespace scramble

// Three upper-case hexadecimal digits per character: Windows-1252 code of the character plus
// that of the key character. Beyond the key's length the key starts over. Error 5 for a
// character without a Windows-1252 code.
QString cryptme(const QString& text, const QString& key);
// Reverses cryptme with the same key, mapping the codes back through Windows-1252. Digits other
// than 0-9 and A-F count as 0.
QString decryptme(const QString& text, const QString& key);

struct AppContext;
// cryptme and decryptme under their own error traps ("cryptme", "decryptme"): a failure shows
// the error box and gives the empty text.
QString cryptme(AppContext& ctx, const QString& text, const QString& key);
QString decryptme(AppContext& ctx, const QString& text, const QString& key);
