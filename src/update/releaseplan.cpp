#include "update/releaseplan.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace releaseplan {

using namespace updaterules;

namespace {
UpdateFailure notVerified(const QString& detail) {
  return UpdateFailure{UpdateFailure::NotVerified, detail};
}

// The folder's path with its links resolved, so that two spellings of one folder compare equal.
QString realFolder(const QString& folder) {
  const QString real = QFileInfo(folder).canonicalFilePath();
  return real.isEmpty() ? QDir::cleanPath(QFileInfo(folder).absoluteFilePath()) : real;
}
}  // namespace

bool isProgramData(const QString& target, const QString& programFolder,
                   const QString& settingsFile) {
  const QString lower = target.toLower();
  if (lower.endsWith(QStringLiteral(".log")) || lower == QLatin1String("endpoints.ini"))
    return true;
  const QFileInfo settings(settingsFile);
  return realFolder(programFolder) == realFolder(settings.absolutePath()) &&
         (target == settings.fileName() || target.startsWith(settings.fileName() + QChar('.')));
}

std::optional<UpdateFailure> checkListedNames(const QStringList& names,
                                              const QString& programFolder,
                                              const QString& settingsFile) {
  QSet<QString> targets;
  for (const QString& name : names) {
    if (name.isEmpty())
      return notVerified(QStringLiteral("Die Dateiliste enthält eine leere Zeile."));
    if (!isSafeFileName(name))
      return notVerified(QStringLiteral("Die Dateiliste nennt einen unzulässigen Namen: ") +
                         quotedName(name) + QChar('.'));
    const QString target = targetFileName(name);
    if (isProgramData(target, programFolder, settingsFile))
      return notVerified(quotedName(target) +
                         QStringLiteral(" darf durch ein Update nicht ersetzt werden."));
    if (targets.contains(target))
      return notVerified(QStringLiteral("Die Dateiliste nennt ") + quotedName(target) +
                         QStringLiteral(" mehrfach."));
    targets.insert(target);
  }
  if (!targets.contains(kInstaller))
    return notVerified(QStringLiteral("Die Dateiliste nennt kein Installationsprogramm (") +
                       kInstaller + QStringLiteral(")."));
  return std::nullopt;
}

std::optional<UpdateFailure> checkSignedVersion(const QString& signedVersion,
                                                const QString& announced,
                                                const QString& installed) {
  const auto release = signedrelease::versionNumbers(signedVersion);
  if (!release || release != signedrelease::versionNumbers(announced))
    return notVerified(QStringLiteral("Die signierte Version ") + signedVersion +
                       QStringLiteral(" ist nicht die angebotene Version ") + announced +
                       QChar('.'));
  const auto own = signedrelease::versionNumbers(installed);
  if (own && *release <= *own)
    return notVerified(QStringLiteral("Die signierte Version ") + signedVersion +
                       QStringLiteral(" ist nicht neuer als die installierte Version ") +
                       installed + QChar('.'));
  return std::nullopt;
}

std::optional<UpdateFailure> planFiles(const QStringList& names,
                                       const QList<signedrelease::Entry>& manifest,
                                       QList<PlannedFile>& plan) {
  QHash<QString, const signedrelease::Entry*> byName;
  for (const auto& entry : manifest) byName.insert(entry.name, &entry);
  plan.clear();
  for (const QString& name : names) {
    const auto* entry = byName.value(name);
    if (!entry)
      return notVerified(quotedName(name) +
                         QStringLiteral(" fehlt in der Prüfliste (manifest) des Herstellers."));
    plan.append(PlannedFile{name, targetFileName(name), entry->size, entry->sha256});
  }
  const QSet<QString> listed(names.begin(), names.end());
  for (const auto& entry : manifest) {
    if (!listed.contains(entry.name))
      return notVerified(QStringLiteral("Die Dateiliste lässt ") + quotedName(entry.name) +
                         QStringLiteral(" aus der Prüfliste (manifest) aus."));
  }
  return std::nullopt;
}

std::optional<UpdateFailure> checkDownloadedFile(const PlannedFile& file, const QString& path) {
  const QString what = QStringLiteral("Die Datei ") + quotedName(file.name);
  const qint64 size = QFileInfo(path).size();
  if (size < file.size)
    return UpdateFailure{UpdateFailure::NotLoaded,
                         what + QStringLiteral(" kam nicht vollständig an (%1 von %2 Bytes).")
                                    .arg(size)
                                    .arg(file.size)};
  if (size != file.size || signedrelease::fileSha256(path) != file.sha256)
    return notVerified(what +
                       QStringLiteral(" stimmt nicht mit der Prüfliste (manifest) überein."));
  return std::nullopt;
}

}  // namespace releaseplan
