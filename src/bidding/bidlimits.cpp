#include "bidding/bidlimits.h"

#include <algorithm>

namespace bidlimits {
namespace {
int clampMs(qint64 ms) {
  return static_cast<int>(std::clamp<qint64>(ms, 1, 24 * 3600 * 1000));
}

QString seconds(int ms) {
  return QString::number(ms / 1000.0, 'g', 3).replace(QLatin1Char('.'), QLatin1Char(','));
}
}  // namespace

TransferLimits step1(const Rules& rules, qint64 msToEnd) {
  if (!rules.bounded) return {};
  return {rules.silenceMs, clampMs(std::max<qint64>(msToEnd, rules.shortestStep1Ms))};
}

TransferLimits step2(const Rules& rules, qint64 msToEnd) {
  if (!rules.bounded) return {};
  return {rules.silenceMs, clampMs(msToEnd + rules.step2GraceMs)};
}

bool resendStep1(const Rules& rules, TransferEnd ended, qint64 msToEnd, bool resentAlready) {
  return rules.bounded && !resentAlready &&
         (ended == TransferEnd::Silent || ended == TransferEnd::LifetimeOver) &&
         msToEnd >= rules.resendMarginMs;
}

bool step2OutcomeUnknown(TransferEnd ended, bool requestSent) {
  return requestSent && (ended == TransferEnd::Silent || ended == TransferEnd::LifetimeOver ||
                         ended == TransferEnd::TimedOut || ended == TransferEnd::Failed);
}

QString logTransferEnd(const Rules& rules, int step, TransferEnd ended, const QString& failure,
                       bool resend, bool unknown) {
  QString what;
  switch (ended) {
    case TransferEnd::Silent:
      what =
          seconds(rules.silenceMs) + QStringLiteral(" Sekunden keine Daten, Verbindung aufgegeben");
      break;
    case TransferEnd::LifetimeOver:
      what = step == 1
                 ? QStringLiteral("Auktionsende erreicht, Verbindung aufgegeben")
                 : seconds(rules.step2GraceMs) + QStringLiteral(
                                                     " Sekunden nach Auktionsende keine Antwort, "
                                                     "Verbindung aufgegeben");
      break;
    case TransferEnd::TimedOut:
      what = QStringLiteral("Zeitüberschreitung, Verbindung aufgegeben");
      break;
    case TransferEnd::Failed:
      what = QStringLiteral("Verbindung fehlgeschlagen: ") + failure;
      break;
    default:
      return QString();
  }
  if (resend) what += QStringLiteral(", neuer Versuch auf neuer Verbindung");
  if (unknown) what += QStringLiteral(", Ausgang unbekannt");
  return QStringLiteral("Bieten Teil %1/2 - ").arg(step) + what;
}

}  // namespace bidlimits
