#include "swap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "installlog.h"
#include "procwatch.h"
#include "update/handover.h"

namespace installer {

namespace {
const QString kKeeping = QStringLiteral(" - die bisherige Version bleibt.");

QString lastError() {
  return QString::fromLocal8Bit(std::strerror(errno));
}

// rename(2) replaces an existing target in one step; QFile::rename would refuse it.
bool atomicRename(const QString& from, const QString& to) {
  return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

bool makeExecutable(const QString& path) {
  QFile file(path);
  return file.setPermissions(file.permissions() | QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                             QFileDevice::ExeUser | QFileDevice::ExeGroup | QFileDevice::ExeOther);
}
}  // namespace

namespace {
QString executableIn(const QString& folder, const QString& handedOver) {
  if (handedOver.isEmpty()) return folder + QStringLiteral("/gebotsfalkeplus");
  if (QDir::isRelativePath(handedOver)) return handedOver;
  const QString real = QFileInfo(handedOver).canonicalFilePath();
  return real.isEmpty() ? QDir::cleanPath(handedOver) : real;
}

bool sameFolder(const QString& a, const QString& b) {
  return QFileInfo(QFileInfo(a).absolutePath()).canonicalFilePath() ==
         QFileInfo(QFileInfo(b).absolutePath()).canonicalFilePath();
}
}  // namespace

ProgramFiles::ProgramFiles(const QString& dir, const QString& handedOver)
    : folder(dir),
      program(executableIn(dir, handedOver)),
      update(dir + QStringLiteral("/update.dat")),
      backup(program + QStringLiteral(".bak")),
      staged(program + QStringLiteral(".new")) {}

QString takeHandedOverProgram() {
  const QByteArray value = qgetenv(handover::kProgramVariable);
  qunsetenv(handover::kProgramVariable);
  return QFile::decodeName(value);
}

bool swapIn(const ProgramFiles& files) {
  const QFileInfo update(files.update);
  if (!update.isFile()) {
    writeLog(files.folder, QStringLiteral("Installer: update.dat fehlt") + kKeeping);
    return false;
  }
  const QFileInfo program(files.program);
  if (program.isRelative() || !program.isFile()) {
    writeLog(files.folder, QStringLiteral("Installer: ") + files.program +
                               QStringLiteral(" ist keine Programmdatei") + kKeeping);
    return false;
  }
  // The previous version stays on disk until the new one has been started.
  if (QFileInfo::exists(files.backup) && !QFile::remove(files.backup)) {
    writeLog(files.folder,
             QStringLiteral("Installer: alte Sicherung lässt sich nicht löschen") + kKeeping);
    return false;
  }
  QFile source(files.program);
  if (!source.copy(files.backup)) {
    writeLog(files.folder, QStringLiteral("Installer: Sicherung fehlgeschlagen (") +
                               source.errorString() + QStringLiteral(")") + kKeeping);
    QFile::remove(files.backup);
    return false;
  }
  // A rename replaces the program in one step only within its own file system: a new version
  // from another folder is first copied next to the program.
  QString incoming = files.update;
  if (!sameFolder(files.update, files.program)) {
    incoming = files.staged;
    QFile::remove(incoming);
    QFile download(files.update);
    if (!download.copy(incoming)) {
      writeLog(files.folder, QStringLiteral("Installer: Kopieren nach ") + incoming +
                                 QStringLiteral(" fehlgeschlagen (") + download.errorString() +
                                 QStringLiteral(")") + kKeeping);
      QFile::remove(incoming);
      return false;
    }
  }
  if (!makeExecutable(incoming)) {
    writeLog(files.folder, QStringLiteral("Installer: ") + QFileInfo(incoming).fileName() +
                               QStringLiteral(" lässt sich nicht ausführbar machen") + kKeeping);
    if (incoming != files.update) QFile::remove(incoming);
    return false;
  }
  if (!atomicRename(incoming, files.program)) {
    writeLog(files.folder, QStringLiteral("Installer: Einsetzen fehlgeschlagen (") + lastError() +
                               QStringLiteral(")") + kKeeping);
    if (incoming != files.update) QFile::remove(incoming);
    return false;
  }
  if (incoming != files.update) QFile::remove(files.update);
  writeLog(files.folder, QStringLiteral("Installer: neue Version eingesetzt."));
  return true;
}

bool restoreBackup(const ProgramFiles& files) {
  if (!QFileInfo(files.backup).isFile()) return false;
  return atomicRename(files.backup, files.program);
}

bool startProgram(const ProgramFiles& files) {
  const QFileInfo program(files.program);
  if (program.isRelative() || !program.isFile()) return false;
  return QProcess::startDetached(files.program, {}, files.folder);
}

ExitCode run(const ProgramFiles& files, const Options& options) {
  const QString& folder = files.folder;
  writeLog(folder, QStringLiteral("Installer: gestartet."));
  if (!waitForExit(files.program, options.waitTimeoutMs, options.pollMs)) {
    writeLog(folder, QStringLiteral("Installer: GebotsfalkePlus läuft noch - Update abgebrochen."));
    return kStillRunning;
  }

  if (swapIn(files)) {
    if (startProgram(files)) {
      writeLog(folder, QStringLiteral("Installer: neue Version gestartet."));
      return kUpdated;
    }
    // The new version does not run here: the previous one comes back.
    if (restoreBackup(files)) {
      writeLog(folder, QStringLiteral("Installer: neue Version startet nicht - bisherige Version "
                                      "wiederhergestellt."));
    } else {
      writeLog(folder,
               QStringLiteral(
                   "Installer: neue Version startet nicht, Wiederherstellung fehlgeschlagen."));
      return kNothingStarted;
    }
  }

  if (startProgram(files)) {
    writeLog(folder, QStringLiteral("Installer: bisherige Version gestartet."));
    return kKeptOld;
  }
  writeLog(folder, QStringLiteral("Installer: Start fehlgeschlagen."));
  return kNothingStarted;
}

}  // namespace installer
