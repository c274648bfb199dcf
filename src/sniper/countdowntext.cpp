#include "sniper/countdowntext.h"

qint64 floorDivide(qint64 a, qint64 b) {
  const qint64 q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

CountdownPieces countdownPieces(qint64 remaining) {
  CountdownPieces p;
  const qint64 days = floorDivide(remaining, 86400);
  if (days > 0) p.days = days == 1 ? QStringLiteral("1 Tag") : QStringLiteral("%1 Tage").arg(days);
  const qint64 hours = floorDivide(remaining, 3600);
  if (hours > 0) {
    const qint64 h = hours - 24 * days;
    p.hours = h == 1 ? QStringLiteral("1 Stunde") : QStringLiteral("%1 Stunden").arg(h);
  }
  const qint64 minutes = floorDivide(remaining, 60);
  if (minutes >= 1) {
    const qint64 m = minutes - 60 * hours;
    p.minutes = m == 1 ? QStringLiteral("1 Minute") : QStringLiteral("%1 Minuten").arg(m);
    // Seconds have no singular: one second reads "1 Sekunden".
    p.seconds = QStringLiteral("%1 Sekunden").arg(remaining - 60 * minutes);
  } else {
    p.seconds = QString::number(remaining - 60 * minutes);
  }
  return p;
}

CountdownCase countdownCase(qint64 remaining) {
  if (remaining <= 0) return CountdownCase::Over;
  if (remaining < 60) return CountdownCase::LastMinute;
  if (remaining < 3600) return CountdownCase::Near;
  if (remaining < 86400) return CountdownCase::Hours;
  return CountdownCase::Days;
}

QString countdownText(qint64 remaining) {
  const CountdownPieces p = countdownPieces(remaining);
  switch (countdownCase(remaining)) {
    case CountdownCase::LastMinute:
      return p.seconds;
    case CountdownCase::Near:
      return p.minutes + QChar('\n') + p.seconds;
    case CountdownCase::Hours:
      return p.hours + QChar('\n') + p.minutes;
    case CountdownCase::Days:
      return p.days + QChar('\n') + p.hours;
    case CountdownCase::Over:
      break;
  }
  return QString();
}

double lastMinuteFontSize(qint64 remaining) {
  return 72.0 - static_cast<double>(remaining);
}

QColor lastMinuteColor(qint64 remaining) {
  return QColor(static_cast<int>(236 - 4 * remaining), 0, 0);
}
