#include "app/settings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

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
}  // namespace

SettingsStore::SettingsStore(QString configFolder) : m_folder(std::move(configFolder)) {
  if (m_folder.isEmpty())
    m_folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString SettingsStore::filePath(const QString& app) const {
  return m_folder + QChar('/') + app + QStringLiteral(".ini");
}

QString SettingsStore::GetSetting(const QString& app, const QString& section, const QString& key,
                                  const QString& defaultValue) const {
  QSettings s(filePath(app), QSettings::IniFormat);
  s.beginGroup(section);
  const QVariant v = s.value(key);
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
  ensureOwnerOnlyFile(path);
  QSettings s(path, QSettings::IniFormat);
  s.beginGroup(section);
  s.setValue(key, value);
  s.endGroup();
  s.sync();
  QFile::setPermissions(path, kOwnerOnly);
  return s.status() == QSettings::NoError;
}
