#pragma once

#include <QString>

namespace installer {

// True while a process other than this one runs the executable at `path` (read from
// /proc/PID/exe; processes of other users are not visible and do not count).
bool programRunning(const QString& path);

// Waits until no process runs `path`, testing every pollMs; false when it still runs after
// timeoutMs.
bool waitForExit(const QString& path, int timeoutMs, int pollMs = 200);

}  // namespace installer
