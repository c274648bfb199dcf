#include "platform/linux/systemclockbackend.h"

#include <QDateTime>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "app/dateserial.h"

qint64 QtClock::localMs() const {
  const QDateTime now = QDateTime::currentDateTime();
  const QDate d = now.date();
  return dateserial::dayNumber(d.year(), d.month(), d.day()) * 86400000 +
         now.time().msecsSinceStartOfDay();
}

void QtClock::waitUntilMs(qint64 targetMs) {
  // Sleep in short slices so that a changed clock (synchronisation, midnight) is noticed soon.
  const qint64 rest = targetMs - localMs();
  if (rest <= 0) return;
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  timer.start(static_cast<int>(std::min<qint64>(rest, 250)));
  loop.exec();
}

void QtClock::sleepUntilMs(qint64 targetMs) {
  const qint64 rest = targetMs - localMs();
  if (rest <= 0) return;
  if (rest > kLongestSleepMs) return waitUntilMs(targetMs);
  // Local time is the system clock shifted by the zone's offset: the target as an instant of the
  // system clock, from two readings within one millisecond.
  qint64 offsetMs = 0;
  for (int tries = 0; tries < 5; ++tries) {
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    offsetMs = localMs() - before;
    if (QDateTime::currentMSecsSinceEpoch() == before) break;
  }
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const qint64 leftNs = (targetMs - offsetMs) * 1000000 -
                        (static_cast<qint64>(now.tv_sec) * 1000000000 + now.tv_nsec);
  if (leftNs <= 0) return;
  // A sleep of that length rather than one until that moment of the system clock: a clock set
  // back meanwhile cannot hold the window up.
  timespec left{0, static_cast<long>(std::min<qint64>(leftNs, kLongestSleepMs * 1000000))};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

namespace {
// Replaces fields of the current local time and sets the clock to the result.
template <class Change>
ClockChange setLocal(Change change) {
  timespec now{};
  if (clock_gettime(CLOCK_REALTIME, &now) != 0)
    return {false, QString::fromLocal8Bit(strerror(errno))};
  tm local{};
  localtime_r(&now.tv_sec, &local);
  change(local);
  local.tm_isdst = -1;
  const time_t target = mktime(&local);
  if (target == static_cast<time_t>(-1)) return {false, QStringLiteral("Ungültige Zeitangabe")};
  timespec ts{target, 0};
  if (clock_settime(CLOCK_REALTIME, &ts) != 0)
    return {false, QString::fromLocal8Bit(strerror(errno))};
  return {true, QString()};
}
}  // namespace

ClockChange PosixSystemClock::setTimeOfDay(int hour, int minute, int second) {
  return setLocal([&](tm& t) {
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
  });
}

ClockChange PosixSystemClock::setDate(int year, int month, int day) {
  return setLocal([&](tm& t) {
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
  });
}
