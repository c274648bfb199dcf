#pragma once

#include <QString>
#include <QtGlobal>

// Outcome of an attempt to change the computer's clock.
struct ClockChange {
  bool ok = false;
  QString reason;  // why it failed, empty on success
};

// Sets the computer's clock. Needs the right to change the system time.
class SystemClock {
 public:
  virtual ~SystemClock() = default;
  // Moves the computer's local date and time by `ms` milliseconds (negative: back), to the
  // millisecond: the local time after it is the local time before it plus `ms`.
  virtual ClockChange shiftLocalTime(qint64 ms) = 0;
};
