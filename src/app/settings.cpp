#include "app/settings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>

#include "app/filewrite.h"
#include "app/inifile.h"

namespace {
const QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
const QString kNotSaved = QStringLiteral("Geänderte Einstellungen werden nicht gespeichert.");

// Creates the file empty with owner-only rights before the first write, so it is never
// readable by others, not even for a moment.
void ensureOwnerOnlyFile(const QString& path) {
  if (!QFile::exists(path)) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
  }
  QFile::setPermissions(path, kOwnerOnly);
}

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString qualified(const QString& section, const QString& key) {
  return section + QLatin1Char('/') + key;
}

// Copies a damaged file to the first free name of "<file>.defekt", "<file>.defekt_2", ...
// (readable by its owner only, like the store). The name used, or empty with `err` set.
QString putAside(const QString& path, const QByteArray& bytes, int& err) {
  err = EEXIST;
  for (int n = 1; n <= 99; ++n) {
    const QString name =
        path + QStringLiteral(".defekt") + (n == 1 ? QString() : QStringLiteral("_%1").arg(n));
    if (QFileInfo::exists(name)) continue;
    err = filewrite::replaceOwnerOnly(name, bytes);
    return err == 0 ? name : QString();
  }
  return QString();
}
}  // namespace

SettingsStore::SettingsStore(QString configFolder) : m_folder(std::move(configFolder)) {
  if (m_folder.isEmpty())
    m_folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString SettingsStore::filePath(const QString& app) const {
  return m_folder + QChar('/') + app + QStringLiteral(".ini");
}

void SettingsStore::tellOnce(const QString& subject, const QString& text) const {
  if (m_told.contains(subject)) return;
  m_told.insert(subject);
  if (m_notify) m_notify(text);
}

void SettingsStore::keepEveryKey(const QString& path) const {
  if (m_frozen.contains(path) || !QFileInfo::exists(path)) return;
  const QByteArray bytes = readAll(path);
  const auto handled = m_damageHandled.constFind(path);
  if (handled != m_damageHandled.cend() && *handled == bytes) return;

  QStringList lost;
  {
    QSettings ini(path, QSettings::IniFormat);
    lost = inifile::lostKeys(bytes, ini.allKeys());
    if (lost.isEmpty() && ini.status() != QSettings::FormatError) return;
  }
  m_damageHandled.insert(path, bytes);
  QHash<QString, QVariant> values;
  for (const inifile::Entry& e : inifile::scan(bytes))
    values.insert(e.key, inifile::lineValue(e.line));
  QStringList names;  // the keys as the user knows them, without their section
  int unnamed = 0;    // keys no one could read out (binary bytes): only counted
  for (const QString& key : lost) {
    const QString name = key.section(QChar('/'), -1);
    const bool readable = name.size() <= 40 && std::all_of(name.begin(), name.end(), [](QChar c) {
                            return c.isPrint() && c != QChar::ReplacementCharacter;
                          });
    readable ? names.append(name) : void(++unnamed);
  }
  if (unnamed > 0)
    names.append(unnamed == 1 ? QStringLiteral("1 Zeile ohne lesbaren Namen")
                              : QStringLiteral("%1 Zeilen ohne lesbaren Namen").arg(unnamed));
  const QString unreadable = names.isEmpty() ? QString()
                                             : QStringLiteral(" (nicht lesbar waren: ") +
                                                   names.join(QStringLiteral(", ")) + QChar(')');
  const QString file = QStringLiteral("Die Einstellungsdatei '") + path + QChar('\'');

  // Nothing is written to the file before its damaged form is safe elsewhere. The sound file is
  // then made beside it and put in its place: QSettings itself writes nothing over a file it
  // could not parse.
  int err = 0;
  const QString copy = putAside(path, bytes, err);
  const char* failedStep = "gesichert";
  if (!copy.isEmpty()) {
    failedStep = "neu geschrieben";
    const QString fresh = path + QStringLiteral(".neu");
    QFile::remove(fresh);
    ensureOwnerOnlyFile(fresh);
    bool written = false;
    {
      QSettings ini(fresh, QSettings::IniFormat);
      for (auto it = values.cbegin(); it != values.cend(); ++it) ini.setValue(it.key(), it.value());
      ini.sync();
      written = ini.status() == QSettings::NoError;
    }
    QFile::setPermissions(fresh, kOwnerOnly);
    if (written &&
        ::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()) == 0) {
      tellOnce(path + QStringLiteral("#damage"),
               file + QStringLiteral(" war beschädigt") + unreadable +
                   QStringLiteral(".\r\nSie wurde als '") + copy +
                   QStringLiteral("' gesichert und Zeile für Zeile neu eingelesen. Bitte prüfen "
                                  "Sie die Optionen."));
      return;
    }
    err = filewrite::whyNotWritable(fresh, bytes.size() + 4096);
    if (err == 0) err = EIO;
    QFile::remove(fresh);
  }
  // The file stays as it is: this run works with the keys read line by line and writes none.
  m_frozen.insert(path, values);
  tellOnce(
      path + QStringLiteral("#damage"),
      file + QStringLiteral(" ist beschädigt") + unreadable + QStringLiteral(" und konnte nicht ") +
          QString::fromUtf8(failedStep) + QStringLiteral(" werden: ") + filewrite::reason(err) +
          QStringLiteral(".\r\nDie Einstellungen wurden Zeile für Zeile gelesen. ") + kNotSaved);
}

QString SettingsStore::GetSetting(const QString& app, const QString& section, const QString& key,
                                  const QString& defaultValue) const {
  const QString path = filePath(app);
  if (!m_checked.contains(path)) {  // the first read in this run looks at every line
    m_checked.insert(path);
    keepEveryKey(path);
  }
  QVariant v;
  if (const auto frozen = m_frozen.constFind(path); frozen != m_frozen.cend()) {
    v = frozen->value(qualified(section, key));
  } else {
    QSettings s(path, QSettings::IniFormat);
    s.beginGroup(section);
    v = s.value(key);
  }
  if (!v.isValid()) return defaultValue;
  // A hand-edited value with unquoted commas comes back as a list; it is still one text.
  if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(QChar(','));
  return v.toString();
}

QString SettingsStore::GetSetting(const QString& app, const QString& section, const QString& key,
                                  int defaultValue) const {
  return GetSetting(app, section, key, QString::number(defaultValue));
}

bool SettingsStore::SaveSetting(const QString& app, const QString& section, const QString& key,
                                const QString& value) {
  const QString path = filePath(app);
  m_checked.insert(path);
  keepEveryKey(path);
  if (const auto frozen = m_frozen.find(path); frozen != m_frozen.end()) {
    frozen->insert(qualified(section, key), value);  // kept for this run only
    return false;
  }
  ensureOwnerOnlyFile(path);
  QSettings s(path, QSettings::IniFormat);
  s.beginGroup(section);
  s.setValue(key, value);
  s.endGroup();
  s.sync();
  QFile::setPermissions(path, kOwnerOnly);
  if (s.status() == QSettings::NoError) return true;
  const int why =
      filewrite::whyNotWritable(path, QFileInfo(path).size() + value.toUtf8().size() + 4096);
  tellOnce(path + QStringLiteral("#write"),
           filewrite::failureNotice(path, why != 0 ? why : EIO, kNotSaved));
  return false;
}
