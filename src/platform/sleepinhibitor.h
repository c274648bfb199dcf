#pragma once

#include <QString>
#include <functional>

// Keeps the computer awake: while held, neither suspend nor the idle action may put it to
// sleep.
class SleepInhibitor {
 public:
  virtual ~SleepInhibitor() = default;
  // Takes the inhibitor for the reason `why` (shown by the system's tools), letting go of an
  // earlier one. When it cannot be taken, `unavailable` is called once with the reason, now or
  // a moment later.
  virtual void hold(const QString& why, std::function<void(const QString& reason)> unavailable) = 0;
  // Lets go at once; nothing when none is held.
  virtual void release() = 0;
};
