#include "update/updaterules.h"

#include "app/regional.h"
#include "app/vberror.h"

namespace updaterules {

namespace {
const int kDivisionByZero = 11;
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

QString targetFileName(const QString& name) {
  if (name.compare(QStringLiteral("gebotsfalkeplus.exe"), Qt::CaseInsensitive) == 0)
    return kNewProgram;
  return name;
}

QString folderWithSeparator(const QString& folder) {
  return folder.endsWith(QChar('/')) ? folder : folder + QChar('/');
}

qint16 percentage(qint64 received, qint32 length) {
  if (length == 0) {
    if (received == 0) vberr::raise(vberr::kOverflow);
    throw VbError(kDivisionByZero, QStringLiteral("Division durch Null"));
  }
  return regional::toInt16(100.0 * static_cast<double>(received) / static_cast<double>(length));
}

QString percentText(qint64 received, qint32 length) {
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
