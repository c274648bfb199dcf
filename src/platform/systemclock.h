#pragma once

#include <QString>

// Outcome of an attempt to change the computer's clock.
struct ClockChange {
  bool ok = false;
  QString reason;  // why it failed, empty on success
};

// Sets the computer's clock (local time). Needs the right to change the system time.
class SystemClock {
 public:
  virtual ~SystemClock() = default;
  // Sets the local time of day; the date stays.
  virtual ClockChange setTimeOfDay(int hour, int minute, int second) = 0;
  // Sets the local date; the time of day stays.
  virtual ClockChange setDate(int year, int month, int day) = 0;
};
