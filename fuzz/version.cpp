// The vendor's version file on any body: the length rule (5 to 10 characters), the comparison
// key and the comparison itself.
#include <QStringList>

#include "fuzzcheck.h"
#include "update/versioncheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString body = fuzz::page(data, size);
  const QString key = versionKey(body);
  const QStringList pieces = body.split(QChar('.'));
  if (pieces.size() < 3) fuzz::check(key.isEmpty(), "no key without three pieces");
  // Plain numbers become two digits at least: "1.03.0007" gives "010307".
  QString digits;
  for (qsizetype i = 0; i < 3 && i < pieces.size(); ++i) {
    bool plain = !pieces[i].isEmpty() && pieces[i].size() <= 4;
    for (const QChar c : pieces[i]) plain = plain && c >= QChar('0') && c <= QChar('9');
    if (!plain) break;
    digits += QString::number(pieces[i].toInt()).rightJustified(2, QChar('0'));
    if (i == 2) fuzz::check(key == digits, "plain numbers give their two-digit key");
  }
  const bool considered = body.size() >= 5 && body.size() <= 10;
  if (considered && !key.isEmpty()) {
    const QString local = versionKey(QStringLiteral("1.3.6"));
    QString::compare(key, local, Qt::CaseSensitive);
  }
  versionKey(fuzz::utf16(data, size));
  return 0;
}
