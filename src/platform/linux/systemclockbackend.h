#pragma once

#include "platform/clock.h"
#include "platform/systemclock.h"

// The computer's clock as Qt reads it; waits sleep in the event loop, and the short sleep to a
// moment is a sleep of the thread, measured to the nanosecond.
class QtClock : public Clock {
 public:
  qint64 localMs() const override;
  void waitUntilMs(qint64 targetMs) override;
  void sleepUntilMs(qint64 targetMs) override;
};

// Sets the clock with clock_settime(CLOCK_REALTIME); without the right to do so (CAP_SYS_TIME)
// it reports the refusal and its reason.
class PosixSystemClock : public SystemClock {
 public:
  ClockChange setTimeOfDay(int hour, int minute, int second) override;
  ClockChange setDate(int year, int month, int day) override;
};
