#pragma once

#include <QString>

namespace updaterules {

// Said by "Online Update jetzt starten", before anything is downloaded, in a copy installed
// from the package (or by `cmake --install`): the package manager owns its files and brings
// the new version; the program must not replace them behind its back.
inline const QString kInstalledCopy = QStringLiteral(
    "Diese Kopie von GebotsfalkePlus wurde über die Paketverwaltung installiert und wird "
    "auch über sie aktualisiert.\r\n"
    "Das Online Update lädt deshalb nichts herunter; die installierte Version bleibt "
    "unverändert.\r\n"
    "Bitte installieren Sie die neue Version als Paket, zum Beispiel mit apt.");

// Said once by a copy installed from the package when a newer version is offered: it shows no
// update mark, since its online update would download nothing.
inline QString newerVersionForPackage(const QString& available, const QString& installed) {
  return QStringLiteral("Eine neuere Version von GebotsfalkePlus ist erschienen: ") + available +
         QStringLiteral(" (installiert ist ") + installed +
         QStringLiteral(
             ").\r\nDiese Kopie wurde über die Paketverwaltung installiert und wird "
             "auch über sie aktualisiert. Bitte installieren Sie die neue Version als "
             "Paket, zum Beispiel mit apt.");
}

}  // namespace updaterules
