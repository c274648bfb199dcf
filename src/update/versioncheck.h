#pragma once

#include <QString>
#include <optional>

#include "app/context.h"

class UpdateMark;

// Asks the vendor server for its version file ("/files/update+") through Inet1 with the
// caller's header text. A newer version than the installed one is kept in AvailableVersion and
// the update mark is shown; otherwise AvailableVersion is emptied (the mark stays as it is). The
// setting "Update" is saved either way. Run-time errors reach the caller's error trap.
void VersionCheck(AppContext& ctx, UpdateMark& mark, const QString& headerText);

// The comparison text of a version: each of the first three "."-pieces as a number with at
// least two digits ("1.03.0007" gives "010307"); a piece that is no number stays as it is.
// Empty when the text has fewer than three pieces.
QString versionKey(const QString& version);

// What the vendor server's answer announces: the answer itself when it names a newer version
// than the installed one, empty when it names none newer, none when it is no version at all
// (fewer than 5 or more than 10 characters, or fewer than three pieces).
std::optional<QString> announcedVersion(const QString& answer, const QString& installed);

// The two User-Agent header texts (each ended by CR LF).
QString clockSyncUserAgent(const QString& versionText, const QString& installTag);
QString bidReportUserAgent(const QString& versionText, const QString& installTag,
                           const QString& outcomeCode);
