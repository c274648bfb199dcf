#include "app/logfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include "app/appstate.h"
#include "app/cp1252.h"
#include "app/dateserial.h"
#include "app/errortrap.h"
#include "app/filewrite.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/programinfo.h"
#include "platform/services.h"

QString logFilePath(const AppContext& ctx) {
  return ctx.services.programInfo.programFolder() + QStringLiteral("/gebotsfalke.log");
}

namespace {
// A field never breaks the line: TAB, CR and LF inside it (say, from a crafted window title)
// become blanks.
QString field(QString text) {
  for (QChar& c : text)
    if (c == QChar('\t') || c == QChar('\r') || c == QChar('\n')) c = QChar(' ');
  return text;
}
}  // namespace

QString logLine(const AppContext& ctx, const QString& message) {
  const AppState& s = ctx.state;
  const QChar tab('\t');
  return regional::formatGeneralDate(ctx.services.clock.now(), s.region) + tab +
         regional::formatGeneralDate(s.endet, s.region) + tab + field(s.ItemID) + tab +
         field(s.sectobid) + tab + regional::formatSingle(s.maxBid, s.region) + tab +
         field(s.group.isEmpty()
                   ? message
                   : message + QStringLiteral(" (Gruppe ") + s.group + QLatin1Char(')'));
}

void WriteLog(AppContext& ctx, QString message) {
  trap(ctx, "WriteLog", [&] {
    const QString path = logFilePath(ctx);
    const QByteArray bytes = cp1252::encode(logLine(ctx, message) + QStringLiteral("\r\n"));
    const int err = filewrite::append(path, bytes);
    if (err == 0) return;
    // Each lost line has its error box; which file and why is said once in a run.
    if (!ctx.state.logWriteFailureTold) {
      ctx.state.logWriteFailureTold = true;
      ctx.services.dialogs.errorBox(
          filewrite::failureNotice(path, err, QStringLiteral("Protokollzeilen gehen verloren.")),
          QStringLiteral("GebotsfalkePlus"));
    }
    vberr::raise(filewrite::errorNumber(err));
  });
}

namespace {
// The names a rotation at `now` (a date serial) tries, in order: "dd_mm_yyyy_old.log", then
// "dd_mm_yyyy_old_2.log" up to "_old_999.log".
QStringList rotatedLogNames(const QString& folder, double now) {
  const auto today = dateserial::toParts(now);
  const QString date = QStringLiteral("%1_%2_%3")
                           .arg(today.day, 2, 10, QChar('0'))
                           .arg(today.month, 2, 10, QChar('0'))
                           .arg(today.year, 4, 10, QChar('0'));
  QStringList names{folder + QChar('/') + date + QStringLiteral("_old.log")};
  for (int n = 2; n <= 999; ++n)
    names.append(folder + QChar('/') + date + QStringLiteral("_old_%1.log").arg(n));
  return names;
}
}  // namespace

void CheckLogfileSize(AppContext& ctx) {
  trap(ctx, "CheckLogfileSize", [&] {
    const QString path = logFilePath(ctx);
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile() || info.size() <= 524287) return;
    // A name taken by an earlier rotation of the day is skipped, never overwritten.
    int err = 0;
    const QString rotated = filewrite::renameToFreeName(
        path, rotatedLogNames(ctx.services.programInfo.programFolder(), ctx.services.clock.now()),
        err);
    if (rotated.isEmpty())
      vberr::raise(err == EEXIST ? vberr::kFileExists : filewrite::errorNumber(err));
  });
}
