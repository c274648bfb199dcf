#pragma once

#include "platform/clock.h"
#include "platform/systemclock.h"

// The computer's clock as Qt reads it; waits sleep in the event loop, on Qt's timers (which run
// on the monotonic clock, so a changed wall clock does not stretch or cut them), and the short
// sleep to a moment is a sleep of the thread, measured to the nanosecond.
class QtClock : public Clock {
 public:
  qint64 computerMs() const override;
  void waitUntilMs(qint64 targetMs) override;
  void callAt(qint64 targetMs, QObject* context, std::function<void()> then) override;
  void sleepUntilMs(qint64 targetMs) override;
};

// Sets the clock with clock_settime(CLOCK_REALTIME); without the right to do so (CAP_SYS_TIME)
// it reports the refusal and its reason.
class PosixSystemClock : public SystemClock {
 public:
  ClockChange shiftLocalTime(qint64 ms) override;
};
