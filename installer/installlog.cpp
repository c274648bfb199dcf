#include "installlog.h"

#include <QFile>

namespace installer {

QString logLine(const QDateTime& now, const QString& message) {
  // The program's general date form: the date alone at midnight.
  const QString when = now.time() == QTime(0, 0)
                           ? now.toString(QStringLiteral("dd.MM.yyyy"))
                           : now.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
  const QChar tab('\t');
  return when + tab + QStringLiteral("00:00:00") + tab + tab + tab + QStringLiteral("0") + tab +
         message;
}

bool writeLog(const QString& folder, const QString& message) {
  QFile file(folder + QStringLiteral("/gebotsfalke.log"));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
  // Windows-1252 agrees with Latin-1 on every character these messages use.
  const QByteArray bytes =
      (logLine(QDateTime::currentDateTime(), message) + QStringLiteral("\r\n")).toLatin1();
  return file.write(bytes) == bytes.size() && file.flush();
}

}  // namespace installer
