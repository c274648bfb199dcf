#include "swap.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "installlog.h"
#include "procwatch.h"

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

ProgramFiles::ProgramFiles(const QString& dir)
    : folder(dir),
      program(dir + QStringLiteral("/gebotsfalkeplus")),
      update(dir + QStringLiteral("/update.dat")),
      backup(dir + QStringLiteral("/gebotsfalkeplus.bak")) {}

bool swapIn(const ProgramFiles& files) {
  const QFileInfo update(files.update);
  if (!update.isFile()) {
    writeLog(files.folder, QStringLiteral("Installer: update.dat fehlt") + kKeeping);
    return false;
  }
  const QFileInfo program(files.program);
  if (program.exists() && !program.isFile()) {
    writeLog(files.folder, QStringLiteral("Installer: ") + files.program +
                               QStringLiteral(" ist keine Datei") + kKeeping);
    return false;
  }
  if (program.exists()) {
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
  }
  if (!makeExecutable(files.update)) {
    writeLog(files.folder,
             QStringLiteral("Installer: update.dat lässt sich nicht ausführbar machen") + kKeeping);
    return false;
  }
  if (!atomicRename(files.update, files.program)) {
    writeLog(files.folder, QStringLiteral("Installer: Einsetzen fehlgeschlagen (") + lastError() +
                               QStringLiteral(")") + kKeeping);
    return false;
  }
  writeLog(files.folder, QStringLiteral("Installer: neue Version eingesetzt."));
  return true;
}

bool restoreBackup(const ProgramFiles& files) {
  if (!QFileInfo(files.backup).isFile()) return false;
  return atomicRename(files.backup, files.program);
}

bool startProgram(const ProgramFiles& files) {
  if (!QFileInfo(files.program).isFile()) return false;
  return QProcess::startDetached(files.program, {}, files.folder);
}

ExitCode run(const QString& folder, const Options& options) {
  const ProgramFiles files(folder);
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
