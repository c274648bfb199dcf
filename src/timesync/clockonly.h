#pragma once

#include <QString>

struct AppState;

// The "-time" run: the clock is set from the time page and the program ends, without a window.
inline bool isClockOnlyRun(const QString& commandLine) {
  return commandLine == QLatin1String("-time");
}

// What the "-time" run tells whoever started it (a shell, cron): 0 when the clock was set (or
// is right) and nothing failed, else 1 with the outcome of the synchronisation as the line for
// standard error (empty when the failure was a run-time error, whose box already went there).
struct ClockOnlyOutcome {
  int exitCode = 0;
  QString message;
};
ClockOnlyOutcome clockOnlyOutcome(const AppState& state);
