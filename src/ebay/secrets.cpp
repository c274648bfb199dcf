#include "ebay/secrets.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "app/filewrite.h"
#include "app/settings.h"

namespace ebay {
namespace {
const QString kKeyringWord = QStringLiteral("Schlüsselbund");
const QString kThisRunWord = QStringLiteral("Programmlauf");
const QString kFileWord = QStringLiteral("Datei");
// Asked of the keyring to learn whether one answers; never written.
const QString kProbeName = QStringLiteral("ebay-probe");

QString setting(const SettingsStore& s, const QString& key) {
  return s.GetSetting(settingskeys::kApp, settingskeys::kSection, key);
}
}  // namespace

Secrets::Secrets(Keyring& keyring, SettingsStore& settings)
    : m_keyring(keyring), m_settings(settings) {
  const QString word = setting(settings, kPlaceSetting);
  m_filePath = setting(settings, kFileSetting);
  if (word == kThisRunWord)
    m_place = SecretPlace::ThisRun;
  else if (word == kFileWord && !m_filePath.isEmpty())
    m_place = SecretPlace::OwnerFile;
}

bool Secrets::keyringAnswers() {
  if (m_keyringKnown < 0) {
    const Keyring::Answer answer = m_keyring.read(kProbeName);
    m_keyringKnown = answer.answered() ? 1 : 0;
    m_keyringProblem = answer.reason;
  }
  return m_keyringKnown == 1;
}

bool Secrets::choose(SecretPlace place, const QString& filePath,
                     const QHash<QString, QString>& carry) {
  const SecretPlace oldPlace = m_place;
  const QString oldPath = m_filePath;
  m_place = place;
  m_filePath = place == SecretPlace::OwnerFile ? filePath : QString();
  bool ok = true;
  for (auto it = carry.begin(); it != carry.end(); ++it)
    if (!it.value().isEmpty()) ok = write(it.key(), it.value()) && ok;
  if (!ok) {
    const QString why = m_problem;
    m_place = oldPlace;
    m_filePath = oldPath;
    m_problem = why;
    return false;
  }
  if (oldPlace != place || oldPath != m_filePath) {
    Secrets old(m_keyring, m_settings);
    old.m_place = oldPlace;
    old.m_filePath = oldPath;
    for (auto it = carry.begin(); it != carry.end(); ++it) old.remove(it.key());
  }
  const QString word = place == SecretPlace::Keyring   ? kKeyringWord
                       : place == SecretPlace::ThisRun ? kThisRunWord
                                                       : kFileWord;
  m_settings.SaveSetting(settingskeys::kApp, settingskeys::kSection, kPlaceSetting, word);
  m_settings.SaveSetting(settingskeys::kApp, settingskeys::kSection, kFileSetting, m_filePath);
  return true;
}

QString Secrets::read(const QString& name) {
  m_problem.clear();
  switch (m_place) {
    case SecretPlace::Keyring: {
      const Keyring::Answer answer = m_keyring.read(name);
      if (!answer.answered()) m_problem = answer.reason;
      return answer.secret;
    }
    case SecretPlace::ThisRun:
      return {};
    case SecretPlace::OwnerFile:
      return readFile().value(name);
  }
  return {};
}

bool Secrets::write(const QString& name, const QString& secret) {
  m_problem.clear();
  switch (m_place) {
    case SecretPlace::Keyring: {
      const Keyring::Answer answer = m_keyring.write(name, secret);
      m_problem = answer.reason;
      return answer.status == Keyring::Status::Ok;
    }
    case SecretPlace::ThisRun:
      return true;
    case SecretPlace::OwnerFile: {
      QHash<QString, QString> all = readFile();
      if (!m_problem.isEmpty()) return false;
      all.insert(name, secret);
      return writeFile(all);
    }
  }
  return false;
}

void Secrets::remove(const QString& name) {
  m_problem.clear();
  if (m_place == SecretPlace::Keyring) {
    m_problem = m_keyring.remove(name).reason;
  } else if (m_place == SecretPlace::OwnerFile) {
    QHash<QString, QString> all = readFile();
    if (all.remove(name)) writeFile(all);
  }
}

QHash<QString, QString> Secrets::readFile() const {
  QHash<QString, QString> out;
  QFile file(m_filePath);
  if (!file.exists()) return out;
  if (!file.open(QIODevice::ReadOnly)) {
    m_problem = file.errorString();
    return out;
  }
  const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
  for (auto it = object.begin(); it != object.end(); ++it)
    out.insert(it.key(), it.value().toString());
  return out;
}

bool Secrets::writeFile(const QHash<QString, QString>& secrets) {
  QJsonObject object;
  for (auto it = secrets.begin(); it != secrets.end(); ++it) object.insert(it.key(), it.value());
  const int err = filewrite::replaceOwnerOnly(m_filePath, QJsonDocument(object).toJson());
  if (err != 0) m_problem = filewrite::reason(err);
  return err == 0;
}

}  // namespace ebay
