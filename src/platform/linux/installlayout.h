#pragma once

#include <QString>

// The two kinds of install. A portable folder holds the executable with its installer beside it
// and may be written: the program keeps its files there and updates itself. An installed copy
// (the .deb package, or `cmake --install`) has its executable in <prefix>/bin and its installer
// in <prefix>/libexec/gebotsfalkeplus; it belongs to the package manager, which updates it.
namespace installlayout {

// Whether the executable in this folder is an installed copy: the installer lies where the
// install rules put it.
bool isInstalledCopy(const QString& executableFolder);

// The program folder: $GEBOTSFALKE_HOME when set; the executable's folder for a portable copy
// that can be written; otherwise ~/.local/share/GebotsfalkePlus under userHome. An installed
// copy never writes beside its executable, not even when run by the superuser.
QString programFolder(const QString& homeVariable, const QString& executableFolder,
                      bool installedCopy, bool executableFolderWritable, const QString& userHome);

}  // namespace installlayout
