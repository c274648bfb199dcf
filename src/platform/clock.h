#pragma once

#include <QtGlobal>

// Local wall-clock time. The program's date-times are day serials (days since 30.12.1899,
// fraction = time of day); the clock hands out the same instant as whole milliseconds so that
// whole-second arithmetic never depends on floating-point truncation.
class Clock {
 public:
  virtual ~Clock() = default;

  // Local date and time in milliseconds since 30.12.1899 00:00.
  virtual qint64 localMs() const = 0;

  // Waits until localMs() has reached the target while window events keep being processed.
  virtual void waitUntilMs(qint64 targetMs) = 0;

  // Returns when localMs() reaches a target a few milliseconds ahead, to a fraction of a
  // millisecond: the event loop's timers come up to a millisecond late, which the bid's trigger
  // must not be. The thread sleeps meanwhile, without processing events; a target further
  // away than kLongestSleepMs is left to waitUntilMs.
  static constexpr qint64 kLongestSleepMs = 5;
  virtual void sleepUntilMs(qint64 targetMs) { waitUntilMs(targetMs); }

  // Convenience views of localMs(). The program reads the date and time in whole seconds:
  // the fraction is cut, never rounded, so no time stamp carries a second that has not begun
  // (and 23:59:59.5 is still today).
  double now() const { return static_cast<double>(wholeSeconds()) / 86400.0; }
  qint64 wholeSeconds() const { return floorDiv(localMs(), 1000); }

  static qint64 floorDiv(qint64 a, qint64 b) {
    qint64 q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
  }
};
