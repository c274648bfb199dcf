#include "sniper/amounthint.h"

namespace amounthint {
namespace {
bool isSeparator(QChar c) {
  return c == QLatin1Char('.') || c == QLatin1Char(',');
}
}  // namespace

double likelyMeant(const QString& typed) {
  qsizetype start = 0;
  while (start < typed.size() && !typed[start].isDigit()) ++start;
  qsizetype end = start;
  while (end < typed.size() && (typed[end].isDigit() || isSeparator(typed[end]))) ++end;
  QString run = typed.mid(start, end - start);
  while (!run.isEmpty() && isSeparator(run.back())) run.chop(1);
  if (run.isEmpty()) return 0;
  qsizetype decimal = -1;
  for (qsizetype i = run.size() - 1; i >= 0; --i) {
    if (!isSeparator(run[i])) continue;
    if (run.size() - i - 1 <= 2) decimal = i;
    break;
  }
  QString digits;
  for (qsizetype i = 0; i < run.size(); ++i) {
    if (i == decimal)
      digits += QLatin1Char('.');
    else if (run[i].isDigit())
      digits += QChar(QLatin1Char('0' + run[i].digitValue()));
  }
  return digits.toDouble();
}

QString refusal(const QString& typed, float maxBid, const RegionalFormat& fmt) {
  if (maxBid != 0) return QString();
  const double meant = likelyMeant(typed);
  const QString example = regional::formatMoney(meant > 0 ? meant : 20.0, fmt);
  if (typed.trimmed().isEmpty())
    return QStringLiteral("Bitte ein Höchstgebot eingeben, zum Beispiel ") + example +
           QLatin1Char('.');
  if (regional::isNumeric(typed, fmt))
    return QStringLiteral(
               "Ein Höchstgebot von 0 kann nicht geboten werden. Bitte einen Betrag "
               "eingeben, zum Beispiel ") +
           example + QLatin1Char('.');
  return QStringLiteral("„") + typed.trimmed() +
         QStringLiteral("“ wurde nicht verstanden. Bitte den Betrag so eingeben: ") + example;
}

}  // namespace amounthint
