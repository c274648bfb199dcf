#include "app/inifile.h"

#include <QFile>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>

namespace inifile {
namespace {
// Section and key names as QSettings writes them ("Gebotsfalke%2B"): "%2B" for an ASCII
// character, "%U00FF" for one beyond it, "\" for "/". Read the way QSettings reads them, so
// that a key written anew is the key read back: every name, however odd, keeps its value.
QString unescapeName(const QByteArray& name) {
  const QString text = QString::fromUtf8(name);
  QString out;
  for (qsizetype i = 0; i < text.size();) {
    const QChar c = text[i];
    if (c == QLatin1Char('\\')) {
      out += QLatin1Char('/');
      ++i;
      continue;
    }
    const qsizetype digitsAt = i + 1 + (i + 1 < text.size() && text[i + 1] == QLatin1Char('U'));
    const qsizetype digits = digitsAt == i + 1 ? 2 : 4;
    bool ok = false;
    const ushort code = c == QLatin1Char('%') && digitsAt + digits <= text.size()
                            ? text.mid(digitsAt, digits).toUShort(&ok, 16)
                            : 0;
    if (!ok) {
      out += c;
      ++i;
      continue;
    }
    out += QChar(code);
    i = digitsAt + digits;
  }
  return out;
}
}  // namespace

QList<Entry> scan(const QByteArray& text) {
  QList<Entry> entries;
  QString section;
  for (QByteArray raw : text.split('\n')) {
    if (raw.endsWith('\r')) raw.chop(1);
    const QByteArray line = raw.trimmed();
    if (line.isEmpty() || line.startsWith(';') || line.startsWith('#')) continue;
    if (line.startsWith('[')) {
      const qsizetype close = line.indexOf(']');
      if (close < 0) continue;
      section = unescapeName(line.mid(1, close - 1).trimmed());
      if (section == QLatin1String("General")) section.clear();  // QSettings' top level
      continue;
    }
    const qsizetype eq = line.indexOf('=');
    if (eq <= 0) continue;
    const QString key = unescapeName(line.left(eq).trimmed());
    if (key.isEmpty()) continue;
    entries.append({section.isEmpty() ? key : section + QLatin1Char('/') + key, raw});
  }
  return entries;
}

QList<int> unreadableLines(const QByteArray& text) {
  QList<int> out;
  int number = 0;
  for (const QByteArray& raw : text.split('\n')) {
    ++number;
    const QByteArray line = raw.trimmed();
    if (line.isEmpty() || line.startsWith(';') || line.startsWith('#')) continue;
    const bool section = line.startsWith('[') && line.contains(']');
    if (!section && (line.startsWith('[') || line.indexOf('=') <= 0)) out.append(number);
  }
  return out;
}

QStringList lostKeys(const QByteArray& text, const QStringList& readable) {
  const QSet<QString> seen(readable.begin(), readable.end());
  QStringList lost;
  for (const Entry& e : scan(text))
    if (!seen.contains(e.key) && !lost.contains(e.key)) lost.append(e.key);
  return lost;
}

QVariant lineValue(const QByteArray& line) {
  const QByteArray trimmed = line.trimmed();
  const qsizetype eq = trimmed.indexOf('=');
  const QVariant asWritten =
      QString::fromUtf8(eq < 0 ? QByteArray() : trimmed.mid(eq + 1).trimmed());
  // QSettings reads the line in a file of its own, followed by a key of ours: when that key is
  // gone, the value ran on past its line.
  QTemporaryDir dir;
  if (!dir.isValid()) return asWritten;
  const QString path = dir.filePath(QStringLiteral("line.ini"));
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return asWritten;
    f.write("[v]\n" + trimmed + "\nzz_line_end=1\n");
  }
  QSettings ini(path, QSettings::IniFormat);
  ini.beginGroup(QStringLiteral("v"));
  if (!ini.contains(QStringLiteral("zz_line_end"))) return asWritten;
  for (const QString& key : ini.childKeys())
    if (key != QLatin1String("zz_line_end")) return ini.value(key);
  return asWritten;
}

}  // namespace inifile
