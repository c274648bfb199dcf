#include "installlog.h"

#include <QFile>

namespace installer {

QString logLine(const QDateTime& now, const QString& message) {
  // In whole seconds with the fraction cut, as the program's own lines; the date alone at
  // midnight.
  const QTime t = now.time();
  const QDateTime when(now.date(), QTime(t.hour(), t.minute(), t.second()));
  const QString stamp = when.time() == QTime(0, 0)
                            ? when.toString(QStringLiteral("dd.MM.yyyy"))
                            : when.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
  const QChar tab('\t');
  return stamp + tab + QStringLiteral("00:00:00") + tab + tab + tab + QStringLiteral("0") + tab +
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
