#include "platform/linux/systemclockbackend.h"

#include <QDateTime>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include "app/dateserial.h"

namespace {
// Slices of a wait: a clock changed meanwhile (synchronisation, midnight) is noticed soon.
constexpr qint64 kSliceMs = 250;
// How early a precise timer may fire.
constexpr qint64 kEarlyMs = 5;

qint64 localMsOf(const tm& local, long nanoseconds) {
  return dateserial::dayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) * 86400000 +
         (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) * 1000LL + nanoseconds / 1000000;
}
}  // namespace

qint64 QtClock::computerMs() const {
  const QDateTime now = QDateTime::currentDateTime();
  const QDate d = now.date();
  return dateserial::dayNumber(d.year(), d.month(), d.day()) * 86400000 +
         now.time().msecsSinceStartOfDay();
}

void QtClock::waitUntilMs(qint64 targetMs) {
  const qint64 rest = targetMs - localMs();
  if (rest <= 0) return;
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  timer.start(static_cast<int>(std::min(rest, kSliceMs)));
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

void QtClock::callAt(qint64 targetMs, QObject* context, std::function<void()> then) {
  const qint64 rest = std::max<qint64>(targetMs - localMs(), 0);
  // The wait runs on the monotonic clock. A timer that fires a hair early sets itself again for
  // what is left; a clock set back meanwhile would leave far more, and is not waited for.
  QTimer::singleShot(
      static_cast<int>(std::min<qint64>(rest, INT_MAX)), Qt::PreciseTimer, context,
      [this, targetMs, rest, guard = QPointer<QObject>(context), then = std::move(then)]() mutable {
        const qint64 left = targetMs - localMs();
        if (left > 0 && left < rest && left <= kEarlyMs && guard)
          callAt(targetMs, guard, std::move(then));
        else
          then();
      });
}

ClockChange PosixSystemClock::shiftLocalTime(qint64 ms) {
  timespec now{};
  if (clock_gettime(CLOCK_REALTIME, &now) != 0)
    return {false, QString::fromLocal8Bit(strerror(errno))};
  tm local{};
  localtime_r(&now.tv_sec, &local);
  // The shift is one of local date and time, as the site's clock shows them: the target's
  // fields are made from local time and turned back into an instant with the zone's rules.
  const qint64 targetMs = localMsOf(local, now.tv_nsec) + ms;
  const qint64 day = Clock::floorDiv(targetMs, 86400000);
  const qint64 msOfDay = targetMs - day * 86400000;
  int year = 0, month = 0, mday = 0;
  dateserial::dateOfDayNumber(day, year, month, mday);
  tm target{};
  target.tm_year = year - 1900;
  target.tm_mon = month - 1;
  target.tm_mday = mday;
  target.tm_hour = static_cast<int>(msOfDay / 3600000);
  target.tm_min = static_cast<int>(msOfDay / 60000 % 60);
  target.tm_sec = static_cast<int>(msOfDay / 1000 % 60);
  target.tm_isdst = -1;
  const time_t seconds = mktime(&target);
  if (seconds == static_cast<time_t>(-1)) return {false, QStringLiteral("Ungültige Zeitangabe")};
  // The part below the millisecond stays as it was.
  timespec ts{seconds, static_cast<long>(msOfDay % 1000) * 1000000 + now.tv_nsec % 1000000};
  if (clock_settime(CLOCK_REALTIME, &ts) != 0)
    return {false, QString::fromLocal8Bit(strerror(errno))};
  return {true, QString()};
}
