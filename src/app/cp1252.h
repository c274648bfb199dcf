#pragma once

#include <QByteArray>
#include <QString>

// The Windows-1252 code page: the program's files, log and page bodies use it.
namespace cp1252 {
QString decode(const QByteArray& bytes);
// Characters without a code in the page become "?".
QByteArray encode(const QString& text);
// The code of one character, or -1 when the page has none.
int codeOf(QChar c);
}  // namespace cp1252
