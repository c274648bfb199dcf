#include "timesync/timepage.h"

#include "app/dateserial.h"
#include "app/vberror.h"

namespace timepage {

qsizetype zoneWordPosition(const QString& page) {
  // Compared without regard to case on the page itself: upper-casing first could change the
  // text's length (a "ß" becomes "SS") and so shift every position behind it.
  qsizetype index = page.indexOf(kWinterZone, 0, Qt::CaseInsensitive);
  if (index < 0) index = page.indexOf(kSummerZone, 0, Qt::CaseInsensitive);
  return index < 0 ? 0 : index + 1;
}

QString stampWindow(const QString& page, qsizetype zonePosition) {
  const qsizetype start = zonePosition - kStampLead;  // 1-based
  if (zonePosition < 1 || start < 1) vberr::raise(vberr::kTypeMismatch);
  return page.mid(start - 1, kStampLength);
}

double readStamp(const QString& window, const RegionalFormat& fmt, double today) {
  const double stamp = regional::toDate(window, fmt, today);
  // A time alone would put the clock on 30.12.1899, a date alone at midnight.
  if (dateserial::dayOf(stamp) == 0 || !window.contains(QChar(':')))
    vberr::raise(vberr::kTypeMismatch);
  return stamp;
}

int transferDelay(double markTimeOfDay, double now) {
  int delay = dateserial::secondsOfDay(now) - dateserial::secondsOfDay(markTimeOfDay);
  if (delay < 0) delay += 86400;
  return delay;
}

ClockTarget clockTarget(double stamp, int delaySeconds, double now) {
  ClockTarget t;
  t.newTime = dateserial::fromLinearSeconds(dateserial::toLinearSeconds(stamp) + delaySeconds);
  const dateserial::Parts p = dateserial::toParts(t.newTime);
  t.hour = p.hour;
  t.minute = p.minute;
  t.second = p.second;
  t.year = p.year;
  t.month = p.month;
  t.day = p.day;
  const qint64 days = dateserial::dayOf(t.newTime) - dateserial::dayOf(now);
  t.setDate = days < 3;
  return t;
}

QString logLine(double oldTime, double newTime, bool refused) {
  QString line = QStringLiteral("Timesync: ") + regional::formatTime(oldTime) +
                 QStringLiteral(" -> ") + regional::formatTime(newTime);
  if (refused) line += QStringLiteral(" (nicht gestellt)");
  return line;
}

}  // namespace timepage
