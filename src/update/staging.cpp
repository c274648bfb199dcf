#include "update/staging.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
const QString kPrefix = QStringLiteral(".gebotsfalkeplus-update-");

enum class Found { Nothing, Folder, Other };

// What lies at the path: a link counts as what it is, not as what it leads to.
Found found(const QString& path) {
  struct stat info;
  if (::lstat(QFile::encodeName(path).constData(), &info) != 0) return Found::Nothing;
  return S_ISDIR(info.st_mode) ? Found::Folder : Found::Other;
}

// Replaces `to` in one step; the reason on failure.
bool moveOver(const QString& from, const QString& to, QString* reason) {
  if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
    return true;
  if (reason) *reason = QString::fromLocal8Bit(std::strerror(errno));
  return false;
}
}  // namespace

UpdateStaging::UpdateStaging(const QString& programFolder)
    : m_folder(programFolder),
      m_dir(programFolder + QChar('/') + kPrefix + QStringLiteral("XXXXXX")) {
  if (m_dir.isValid()) {
    QDir(m_dir.path()).mkdir(QStringLiteral("new"));
    QDir(m_dir.path()).mkdir(QStringLiteral("old"));
  }
}

QString UpdateStaging::pathFor(const QString& target) const {
  return m_dir.path() + QStringLiteral("/new/") + target;
}

UpdateStaging::Outcome UpdateStaging::commit(const QStringList& targets,
                                             const QStringList& removals) {
  struct Step {
    QString target;
    bool hadOld;
    bool hasNew;
  };
  QList<Step> done;
  Outcome outcome;
  auto stepFails = [&](const QString& target, const QString& reason) {
    outcome.failedTarget = target;
    outcome.reason = reason;
    // Back in reverse order: each target gets its previous file again, or goes.
    for (auto it = done.crbegin(); it != done.crend(); ++it) {
      const QString place = m_folder + QChar('/') + it->target;
      const QString old = m_dir.path() + QStringLiteral("/old/") + it->target;
      if (it->hadOld) {
        if (!moveOver(old, place, nullptr)) outcome.restored = false;
      } else if (it->hasNew && !QFile::remove(place)) {
        outcome.restored = false;
      }
    }
    return outcome;
  };
  auto put = [&](const QString& target, bool hasNew) -> bool {
    const QString place = m_folder + QChar('/') + target;
    const QString old = m_dir.path() + QStringLiteral("/old/") + target;
    QString reason;
    const Found existing = found(place);
    // A folder of that name is the user's, never an old file of the program.
    if (existing == Found::Folder) {
      stepFails(target, QStringLiteral("Dort liegt ein Ordner"));
      return false;
    }
    const bool hadOld = existing == Found::Other;
    if (hadOld && !moveOver(place, old, &reason)) {
      stepFails(target, reason);
      return false;
    }
    if (hasNew && !moveOver(pathFor(target), place, &reason)) {
      if (hadOld && !moveOver(old, place, nullptr)) outcome.restored = false;
      stepFails(target, reason);
      return false;
    }
    done.append(Step{target, hadOld, hasNew});
    return true;
  };
  for (const QString& target : targets)
    if (!put(target, true)) return outcome;
  for (const QString& target : removals)
    if (!targets.contains(target) && !put(target, false)) return outcome;
  outcome.done = true;
  return outcome;
}

void UpdateStaging::removeLeftovers(const QString& programFolder) {
  const QDir folder(programFolder);
  for (const QString& name :
       folder.entryList({kPrefix + QChar('*')}, QDir::Dirs | QDir::Hidden | QDir::NoSymLinks))
    QDir(folder.filePath(name)).removeRecursively();
}
