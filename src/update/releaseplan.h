#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "update/signedrelease.h"
#include "update/updaterules.h"

// What an update fetches and where each file goes, checked before anything is written.
namespace releaseplan {

using updaterules::UpdateFailure;

struct PlannedFile {
  QString name;    // as listed: asked for as "/files/" + name
  QString target;  // its name in the program folder
  qint64 size = 0;
  QByteArray sha256;
};

// Whether a file of this name in the program folder is the program's own data, which no update
// may replace: the log and its rotated copies (every "*.log"), endpoints.ini, and the settings
// file with everything named after it (its lock, a copy put aside).
bool isProgramData(const QString& target, const QString& programFolder,
                   const QString& settingsFile);

// The listed names, before anything else is fetched: each must be a plain name in the program
// folder, must not name the program's own data, no two may end up as the same file, and the
// installer must be among them.
std::optional<UpdateFailure> checkListedNames(const QStringList& names,
                                              const QString& programFolder,
                                              const QString& settingsFile);

// The version the manifest was signed for: the one on offer (announced by the vendor server, as
// the window shows it) and newer than the installed one. A release signed for another version is
// an older one replayed, or not the one the user chose.
std::optional<UpdateFailure> checkSignedVersion(const QString& signedVersion,
                                                const QString& announced, const QString& installed);

// The files in the list's order with what the signed manifest says of each. Every listed name
// needs its line, and every line a listed name.
std::optional<UpdateFailure> planFiles(const QStringList& names,
                                       const QList<signedrelease::Entry>& manifest,
                                       QList<PlannedFile>& plan);

// A downloaded file against its line of the manifest: shorter means it did not arrive whole,
// any other size or another SHA-256 that it is not the vendor's file.
std::optional<UpdateFailure> checkDownloadedFile(const PlannedFile& file, const QString& path);

}  // namespace releaseplan
