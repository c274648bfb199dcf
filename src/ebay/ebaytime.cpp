#include "ebay/ebaytime.h"

#include <QRegularExpression>

namespace ebay {
namespace {
const qint64 kDayMs = 86400000;
const QDate kDayZero(1899, 12, 30);
}  // namespace

std::optional<QDateTime> parseUtc(const QString& text) {
  static const QRegularExpression form(
      QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})T(\\d{2}):(\\d{2}):(\\d{2})(?:\\.(\\d{1,3}))?Z$"));
  const auto m = form.match(text);
  if (!m.hasMatch()) return std::nullopt;
  const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
  const QString ms = m.captured(7).leftJustified(3, QLatin1Char('0'));
  const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt(), ms.toInt());
  if (!date.isValid() || !time.isValid()) return std::nullopt;
  return QDateTime(date, time, Qt::UTC);
}

QString formatUtc(const QDateTime& utc) {
  return utc.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

qint64 localMsOf(const QDateTime& instant) {
  const QDateTime local = instant.toLocalTime();
  return kDayZero.daysTo(local.date()) * kDayMs + local.time().msecsSinceStartOfDay();
}

QDateTime instantOfLocalMs(qint64 localMs) {
  qint64 days = localMs / kDayMs;
  qint64 rest = localMs % kDayMs;
  if (rest < 0) {
    rest += kDayMs;
    --days;
  }
  return QDateTime(kDayZero.addDays(days), QTime::fromMSecsSinceStartOfDay(int(rest)),
                   Qt::LocalTime);
}

}  // namespace ebay
