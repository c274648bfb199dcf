#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QVariant>
#include <functional>

// The application name and section under which the program keeps its settings.
namespace settingskeys {
inline const QString kApp = QStringLiteral("Rotbart eBay-Tools");
inline const QString kSection = QStringLiteral("Gebotsfalke+");
}  // namespace settingskeys

// The per-user settings store: one INI file per application name in the user's configuration
// folder, one group per section, every value a text. The file is readable by its owner only.
//
// No key is lost through one bad line: before the first read and before every write the file
// is read line by line as well, and a file of which QSettings loses keys (or which it calls
// malformed) is first copied aside ("<file>.defekt") and then written anew with every key of
// its lines. The user is told once per run and file about such a file, and about a file that
// could not be written (naming the reason).
class SettingsStore {
 public:
  // configFolder empty: the user's configuration folder (XDG_CONFIG_HOME or ~/.config).
  explicit SettingsStore(QString configFolder = QString());

  // Shows a message to the user; it must not wait for the user. Without one nothing is shown.
  void setNotifier(std::function<void(const QString& text)> notify) {
    m_notify = std::move(notify);
  }

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
  // Makes sure QSettings sees every key the file's lines hold (see above).
  void keepEveryKey(const QString& path) const;
  // Tells the user once per run and subject (a file's damage or its failed write).
  void tellOnce(const QString& subject, const QString& text) const;

  QString m_folder;
  std::function<void(const QString&)> m_notify;
  mutable QSet<QString> m_told;
  mutable QSet<QString> m_checked;  // files read line by line in this run
  // The content of a damaged file already dealt with in this run: it is not copied aside twice.
  mutable QHash<QString, QByteArray> m_damageHandled;
  // Files whose damage could not be put aside: their keys as read line by line, and no write
  // goes to them in this run.
  mutable QHash<QString, QHash<QString, QVariant>> m_frozen;
};
