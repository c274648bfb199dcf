#pragma once

#include <QtGlobal>

#include <functional>

#include "platform/systemclock.h"

class QObject;

// Local wall-clock time as the program goes by it. The program's date-times are day serials
// (days since 30.12.1899, fraction = time of day); the clock hands out the same instant as
// whole milliseconds so that whole-second arithmetic never depends on floating-point
// truncation.
//
// This is the one place that knows the auction site's time: once the site's clock has been
// measured, adoptSiteLead() sets the computer's clock where that is allowed, or else keeps the
// site's lead for the rest of the run, and every reading and wait below follows it. No caller
// adds an offset of its own.
class Clock {
 public:
  virtual ~Clock() = default;

  // Local date and time in milliseconds since 30.12.1899 00:00: the computer's clock plus the
  // kept lead of the auction site's clock.
  qint64 localMs() const { return computerMs() + m_siteLeadMs; }

  // The computer's own clock in the same unit, without the kept lead. Measuring the site's
  // clock compares against this, so that a lead kept meanwhile does not disturb it.
  virtual qint64 computerMs() const = 0;

  // Waits until localMs() has reached the target while window events keep being processed. It
  // may return early (after a slice); callers that must not end early test again.
  virtual void waitUntilMs(qint64 targetMs) = 0;

  // Returns when localMs() reaches a target a few milliseconds ahead, to a fraction of a
  // millisecond: the event loop's timers come up to a millisecond late, which the bid's trigger
  // must not be. The thread sleeps meanwhile, without processing events; a target further
  // away than kLongestSleepMs is left to waitUntilMs.
  static constexpr qint64 kLongestSleepMs = 5;
  virtual void sleepUntilMs(qint64 targetMs) { waitUntilMs(targetMs); }

  // Calls `then` from the event loop once localMs() has reached the target, without waiting
  // here; nothing is called when `context` is destroyed first. A clock set back meanwhile does
  // not hold it up: it is called once the time that was left has passed.
  virtual void callAt(qint64 targetMs, QObject* context, std::function<void()> then) = 0;

  // How far the auction site's clock runs ahead of the computer's (negative: behind) as this
  // clock keeps it; 0 when the computer's clock was set, or nothing was measured.
  qint64 siteLeadMs() const { return m_siteLeadMs; }

  // Takes the auction site's clock over, `leadMs` ahead of the computer's own clock. Where the
  // computer's clock may be set, it is moved by that much (to the millisecond) and no lead is
  // kept; otherwise the lead is kept for the rest of the run. Returns whether the computer's
  // clock was set, and why not.
  ClockChange adoptSiteLead(qint64 leadMs, SystemClock& systemClock) {
    const ClockChange change = systemClock.shiftLocalTime(leadMs);
    m_siteLeadMs = change.ok ? 0 : leadMs;
    return change;
  }

  // Convenience views of localMs(). The program reads the date and time in whole seconds:
  // the fraction is cut, never rounded, so no time stamp carries a second that has not begun
  // (and 23:59:59.5 is still today).
  double now() const { return static_cast<double>(wholeSeconds()) / 86400.0; }
  qint64 wholeSeconds() const { return floorDiv(localMs(), 1000); }

  static qint64 floorDiv(qint64 a, qint64 b) {
    qint64 q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
  }

 private:
  qint64 m_siteLeadMs = 0;
};
