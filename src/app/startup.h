#pragma once

#include <QStringList>

#include "app/context.h"

class Form1;
struct AppState;

// The program's entry steps: the "-time" run, or the log rotation, the start line, the main
// window's initialisation, showing it and the optional synchronisation at start. Returns true
// when the main window is open and the program should live in the event loop.
bool Main(AppContext& ctx, Form1& form, const QStringList& arguments);

// The command line of the clock-only run.
inline bool isClockOnlyRun(const QString& commandLine) {
  return commandLine == QLatin1String("-time");
}

// What the "-time" run tells whoever started it (a shell, cron): 0 when the clock was set and
// nothing failed, else 1 with the outcome of the synchronisation as the line for standard error
// (empty when the failure was a run-time error, whose box already went there).
struct ClockOnlyOutcome {
  int exitCode = 0;
  QString message;
};
ClockOnlyOutcome clockOnlyOutcome(const AppState& state);

// Builds the real services and runs the program; the process's exit code.
int runProgram(int argc, char** argv);
