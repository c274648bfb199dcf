#pragma once

#include <QString>

// The application name and section under which the program keeps its settings.
namespace settingskeys {
inline const QString kApp = QStringLiteral("Rotbart eBay-Tools");
inline const QString kSection = QStringLiteral("Gebotsfalke+");
}  // namespace settingskeys

// The per-user settings store: one INI file per application name in the user's configuration
// folder, one group per section, every value a text. The file is readable by its owner only.
class SettingsStore {
 public:
  // configFolder empty: the user's configuration folder (XDG_CONFIG_HOME or ~/.config).
  explicit SettingsStore(QString configFolder = QString());

  // The stored text, or the default when the key (or the section) does not exist.
  QString GetSetting(const QString& app, const QString& section, const QString& key,
                     const QString& defaultValue = QString()) const;
  QString GetSetting(const QString& app, const QString& section, const QString& key,
                     int defaultValue) const;
  // Creates or overwrites the key. Returns false when the store could not be written.
  bool SaveSetting(const QString& app, const QString& section, const QString& key,
                   const QString& value);

  QString filePath(const QString& app) const;

 private:
  QString m_folder;
};
