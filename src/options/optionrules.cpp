#include "options/optionrules.h"

#include <algorithm>
#include <cmath>

#include "app/cp1252.h"

namespace optionrules {

bool secondsValid(const QString& sectobid, const RegionalFormat& fmt) {
  // Whole seconds only: a fraction would be rounded by the countdown to a second the user did
  // not type.
  const auto value = regional::parseNumber(sectobid, fmt);
  return value && *value >= 1 && *value <= 300 && *value == std::floor(*value);
}

namespace {
// The first character of a text that has no Windows-1252 code, empty when there is none.
QString characterWithoutWindows1252Code(const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (cp1252::codeOf(text[i]) >= 0) continue;
    // A character beyond the 16-bit range takes two code units: name it whole.
    const bool pair =
        text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
    return text.mid(i, pair ? 2 : 1);
  }
  return QString();
}
}  // namespace

QStringList faults(const Values& v, bool armed, const RegionalFormat& fmt) {
  const QString crlf = QStringLiteral("\r\n");
  QStringList lines;
  if (armed && v.user.isEmpty()) lines << QStringLiteral("eBay Name darf nicht leer sein") + crlf;
  if (armed && v.pass.isEmpty()) lines << QStringLiteral("Passwort darf nicht leer sein") + crlf;
  // The stored password and the bid both carry Windows-1252 codes: anything else would come
  // back as another character.
  if (const QString c = characterWithoutWindows1252Code(v.pass); !c.isEmpty())
    lines << QStringLiteral("Passwort darf das Zeichen '") + c +
                 QStringLiteral(
                     "' nicht enthalten (nur Zeichen des westeuropäischen "
                     "Zeichensatzes)") +
                 crlf;
  if (!secondsValid(v.sectobid, fmt)) {
    // A whole number out of range gets the dialog's own line; what is no whole number at all
    // (a word, a fraction, nothing) is told that a whole number is wanted.
    const auto value = regional::parseNumber(v.sectobid, fmt);
    const bool whole = value && *value == std::floor(*value);
    lines << (whole ? QStringLiteral("'Sekunden vor Ende bieten' muss zwischen 1 und 300 betragen")
                    : QStringLiteral("'Sekunden vor Ende bieten' muss eine ganze Zahl zwischen 1 "
                                     "und 300 sein")) +
                 crlf;
  }
  return lines;
}

QString faultMessage(const QStringList& faults) {
  return QStringLiteral("Das Formular enthält ungültige Werte:\r\n\r\n") + faults.join(QString());
}

QPoint cursorRelativePosition(QPoint cursorPixels, double twipsPerPixelX, double twipsPerPixelY) {
  const double left = cursorPixels.x() * twipsPerPixelX - 500;
  const double top = cursorPixels.y() * twipsPerPixelY - 1800;
  return {static_cast<int>(std::lround(left / twipsPerPixelX)),
          static_cast<int>(std::lround(top / twipsPerPixelY))};
}

}  // namespace optionrules
