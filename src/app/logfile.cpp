#include "app/logfile.h"

#include <QFile>
#include <QFileInfo>

#include "app/appstate.h"
#include "app/cp1252.h"
#include "app/dateserial.h"
#include "app/errortrap.h"
#include "platform/clock.h"
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
         field(message);
}

void WriteLog(AppContext& ctx, QString message) {
  trap(ctx, "WriteLog", [&] {
    QFile file(logFilePath(ctx));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
      vberr::raise(file.error() == QFileDevice::PermissionsError ? vberr::kPermissionDenied
                                                                 : vberr::kPathFileAccess);
    const QByteArray bytes = cp1252::encode(logLine(ctx, message) + QStringLiteral("\r\n"));
    if (file.write(bytes) != bytes.size()) vberr::raise(vberr::kPathFileAccess);
    if (!file.flush()) vberr::raise(vberr::kPathFileAccess);
    file.close();
  });
}

void CheckLogfileSize(AppContext& ctx) {
  trap(ctx, "CheckLogfileSize", [&] {
    const QString path = logFilePath(ctx);
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile() || info.size() <= 524287) return;
    const auto today = dateserial::toParts(ctx.services.clock.now());
    const QString rotated =
        ctx.services.programInfo.programFolder() + QStringLiteral("/%1_%2_%3_old.log")
                                                       .arg(today.day, 2, 10, QChar('0'))
                                                       .arg(today.month, 2, 10, QChar('0'))
                                                       .arg(today.year, 4, 10, QChar('0'));
    // A second rotation on the same day finds the name taken; the log then keeps growing.
    if (QFileInfo::exists(rotated)) vberr::raise(vberr::kFileExists);
    if (!QFile::rename(path, rotated)) vberr::raise(vberr::kPathFileAccess);
  });
}
