#pragma once

#include <QDateTime>
#include <QString>

namespace installer {

// The installer's lines in the program's log "gebotsfalke.log": six TAB-separated fields as the
// program writes them for no item (time, "00:00:00", "", "", "0", message), Windows-1252,
// CR LF.
QString logLine(const QDateTime& now, const QString& message);

// Appends one line to the log in `folder`; false when the log could not be written.
bool writeLog(const QString& folder, const QString& message);

}  // namespace installer
