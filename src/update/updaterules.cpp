#include "update/updaterules.h"

#include "app/cp1252.h"
#include "app/regional.h"
#include "app/vberror.h"

namespace updaterules {

namespace {
const int kLongestQuotedName = 40;
}

QString failureText(const UpdateFailure& failure) {
  static const char* const kHeadlines[] = {
      "Das Update konnte nicht geladen werden.", "Das Update konnte nicht verifiziert werden.",
      "Das Update konnte nicht installiert werden.", "Das Update wurde abgebrochen."};
  QString text =
      QString::fromUtf8(kHeadlines[failure.kind]) + QStringLiteral("\r\n") + failure.detail;
  if (failure.filesUnchanged) text += QStringLiteral("\r\nEs wurde keine Datei verändert.");
  return text;
}

QString failureLogLine(const UpdateFailure& failure) {
  switch (failure.kind) {
    case UpdateFailure::NotLoaded:
      return kLogIncomplete + QChar(' ') + failure.detail;
    case UpdateFailure::NotVerified:
      return QStringLiteral("Update: Download nicht verifiziert. ") + failure.detail;
    case UpdateFailure::NotInstalled:
      return QStringLiteral("Update: Dateien nicht eingesetzt. ") + failure.detail;
    case UpdateFailure::Closed:
      break;
  }
  return kLogIncomplete;
}

QString quotedName(const QString& name) {
  const QString shown =
      name.size() > kLongestQuotedName ? name.left(kLongestQuotedName - 1) + QChar(0x2026) : name;
  return QChar(0x201E) + shown + QChar(0x201C);
}

std::optional<UpdateFailure> transferFailure(int status, bool tooLong, const QString& what,
                                             UpdatePart part) {
  if (tooLong && part == UpdatePart::File)
    return UpdateFailure{UpdateFailure::NotVerified,
                         what + QStringLiteral(" ist größer als in der Prüfliste (manifest) "
                                               "angegeben.")};
  if (tooLong)
    return UpdateFailure{UpdateFailure::NotLoaded,
                         what + QStringLiteral(" ist länger als erlaubt.")};
  if (status == 200) return std::nullopt;
  if (status == 404 && part == UpdatePart::Signature)
    return UpdateFailure{UpdateFailure::NotVerified,
                         what + QStringLiteral(" fehlt auf dem Server.")};
  if (status == 0)
    return UpdateFailure{UpdateFailure::NotLoaded,
                         what + QStringLiteral(" kam nicht an: Der Server antwortete nicht.")};
  return UpdateFailure{
      UpdateFailure::NotLoaded,
      what + QStringLiteral(" kam nicht an: Der Server antwortete mit %1.").arg(status)};
}

UpdateFailure silentTransfer(const QString& what, int silenceMs) {
  return UpdateFailure{
      UpdateFailure::NotLoaded,
      what + QStringLiteral(" kam nicht vollständig an: Der Server sendete %1 "
                            "Sekunden lang nichts.")
                 .arg(regional::formatDouble(silenceMs / 1000.0, RegionalFormat::german()))};
}

QString requestHeaders(const QString& versionText, const QString& installTag) {
  return QStringLiteral("Proxy-Connection: Keep-Alive\r\nPragma: no-cache\r\n") +
         QStringLiteral("User-Agent: Nachlader+ - ") + versionText + QStringLiteral(" - ") +
         installTag + QStringLiteral("\r\n");
}

QString versionCaption(const QString& installed, const QString& available) {
  return QStringLiteral("Installierte Version: ") + installed +
         QStringLiteral("\r\nVerfügbare Version: ") + available;
}

QString fileCaption(int number, int count) {
  return QStringLiteral("Datei %1 von %2 des Updates wird geladen...").arg(number).arg(count);
}

QStringList splitFileList(const QString& body) {
  return body.split(QStringLiteral("\r\n"));
}

bool isSafeFileName(const QString& name) {
  if (name.isEmpty() || name == QLatin1String(".")) return false;
  if (name.contains(QStringLiteral(".."))) return false;
  for (const QChar c : name) {
    if (c == QChar('/') || c == QChar('\\') || c.unicode() < 0x20 || c.unicode() == 0x7f)
      return false;
  }
  return true;
}

QString requestPath(const QString& name) {
  // The names come from a list read as Windows-1252, so every character has its code here.
  return QStringLiteral("/files/") +
         QString::fromLatin1(cp1252::encode(name).toPercentEncoding("!$&'()*+,;=:@"));
}

QString targetFileName(const QString& name) {
  if (name.compare(QStringLiteral("gebotsfalkeplus.exe"), Qt::CaseInsensitive) == 0)
    return kNewProgram;
  return name;
}

QString readOnlyProgramText(const QString& executableFolder) {
  return QStringLiteral(
             "Das Online Update kann GebotsfalkePlus nicht ersetzen, weil in den "
             "Ordner des Programms nicht geschrieben werden kann:\r\n") +
         executableFolder + QStringLiteral("\r\nDie installierte Version bleibt unverändert.");
}

VbError installerStartError(const StartResult& result) {
  switch (result.failure) {
    case StartFailure::NotFound:
      return VbError(vberr::kFileNotFound);
    case StartFailure::NoRight:
      return VbError(vberr::kPermissionDenied, QStringLiteral("Zugriff verweigert - ") +
                                                   kInstaller +
                                                   QStringLiteral(" darf nicht ausgeführt werden"));
    case StartFailure::NotAProgram:
      return VbError(
          vberr::kInvalidCall,
          kInstaller + QStringLiteral(" ist kein auf diesem System ausführbares Programm"));
    case StartFailure::None:
    case StartFailure::Other:
      break;
  }
  return VbError(vberr::kPathFileAccess, QStringLiteral("Fehler beim Zugriff auf Pfad/Datei - ") +
                                             kInstaller + QStringLiteral(" startet nicht (") +
                                             result.reason + QStringLiteral(")"));
}

QString folderWithSeparator(const QString& folder) {
  return folder.endsWith(QChar('/')) ? folder : folder + QChar('/');
}

qint16 percentage(qint64 received, qint64 length) {
  if (length <= 0) return 100;
  return regional::toInt16(100.0 * static_cast<double>(qBound<qint64>(0, received, length)) /
                           static_cast<double>(length));
}

QString percentText(qint64 received, qint64 length) {
  return QString::number(percentage(received, length)) + QStringLiteral(" %");
}

QString nextSpinner(const QString& current) {
  if (current == QLatin1String("I")) return QStringLiteral("/");
  if (current == QLatin1String("/")) return QStringLiteral("-");
  if (current == QLatin1String("-")) return QStringLiteral("\\");
  if (current == QLatin1String("\\")) return QStringLiteral("I");
  return current;
}

}  // namespace updaterules
