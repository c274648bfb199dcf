#include "platform/linux/installlayout.h"

#include <QDir>
#include <QFileInfo>

// GF_INSTALLED_INSTALLER: the installer's place relative to <prefix>/bin, taken from the install
// rules' folders by src/CMakeLists.txt.

namespace installlayout {

bool isInstalledCopy(const QString& executableFolder) {
  return QFileInfo(QDir(executableFolder).filePath(QStringLiteral(GF_INSTALLED_INSTALLER)))
      .isFile();
}

QString programFolder(const QString& homeVariable, const QString& executableFolder,
                      bool installedCopy, bool executableFolderWritable, const QString& userHome) {
  if (!homeVariable.isEmpty()) return QDir(homeVariable).absolutePath();
  if (!installedCopy && executableFolderWritable) return executableFolder;
  return userHome + QStringLiteral("/.local/share/GebotsfalkePlus");
}

}  // namespace installlayout
