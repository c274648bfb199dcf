#include "procwatch.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <unistd.h>

namespace installer {

namespace {
// The canonical form of a path, also for a file that is gone.
QString canonical(const QString& path) {
  const QFileInfo info(path);
  const QString c = info.canonicalFilePath();
  return c.isEmpty() ? info.absoluteFilePath() : c;
}

QString linkTarget(const QString& link) {
  char buffer[4096];
  const ssize_t n = ::readlink(QFile::encodeName(link).constData(), buffer, sizeof buffer);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof buffer) return QString();
  return QFile::decodeName(QByteArray(buffer, static_cast<qsizetype>(n)));
}
}  // namespace

bool programRunning(const QString& path) {
  const QString wanted = canonical(path);
  const QString deleted = wanted + QStringLiteral(" (deleted)");
  const qint64 self = ::getpid();
  const QStringList entries =
      QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString& entry : entries) {
    bool ok = false;
    const qint64 pid = entry.toLongLong(&ok);
    if (!ok || pid == self) continue;
    const QString exe = linkTarget(QStringLiteral("/proc/") + entry + QStringLiteral("/exe"));
    if (exe.isEmpty()) continue;
    if (exe == wanted || exe == deleted) return true;
  }
  return false;
}

bool waitForExit(const QString& path, int timeoutMs, int pollMs) {
  const QDeadlineTimer deadline(timeoutMs);
  while (programRunning(path)) {
    if (deadline.hasExpired()) return false;
    QThread::msleep(static_cast<unsigned long>(qMax(1, pollMs)));
  }
  return true;
}

}  // namespace installer
