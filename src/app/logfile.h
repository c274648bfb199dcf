#pragma once

#include <QString>

#include "app/context.h"

// The log: one line per event in the program folder's "gebotsfalke.log", six TAB-separated
// fields (now, end time, item number, seconds before end, maximum bid, message), Windows-1252,
// CR LF. Each call opens and closes the file, so every line is on disk when it returns. A line
// that cannot be written shows the error box with the reason (a full disk is error 61); the
// first one in a run also names the file.
void WriteLog(AppContext& ctx, QString message);

// At start: a log larger than 524287 bytes is renamed to "dd_mm_yyyy_old.log", or, when an
// earlier rotation of the day took that name, to "dd_mm_yyyy_old_2.log", "_old_3.log", ...
void CheckLogfileSize(AppContext& ctx);

// Path of the log file.
QString logFilePath(const AppContext& ctx);

// The line WriteLog appends for a message (without the line end).
QString logLine(const AppContext& ctx, const QString& message);
