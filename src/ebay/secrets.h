#pragma once

#include <QHash>
#include <QString>

#include "platform/keyring.h"

class SettingsStore;

// Where the eBay secrets (the keyset's Cert ID and the refresh token) are kept: in the desktop
// keyring; without one, for this run only, or in an owner-only file the user chose knowingly.
// The choice (never a secret) is kept in the settings; "this run only" is not kept.
namespace ebay {

enum class SecretPlace { Keyring, ThisRun, OwnerFile };

inline const QString kCertIdName = QStringLiteral("ebay-cert-id");
inline const QString kRefreshTokenName = QStringLiteral("ebay-refresh-token");

class Secrets {
 public:
  Secrets(Keyring& keyring, SettingsStore& settings);

  SecretPlace place() const { return m_place; }
  QString filePath() const { return m_filePath; }
  // Whether a keyring answered the last time one was asked, and why not.
  bool keyringAnswers();
  QString keyringProblem() const { return m_keyringProblem; }
  // Another place (the file's path with OwnerFile), kept in the settings. The secrets held in
  // memory (`carry`, by name) are written there and removed from the old place.
  bool choose(SecretPlace place, const QString& filePath, const QHash<QString, QString>& carry);

  // Empty when there is none, or the place cannot be read (then problem() says why). With
  // ThisRun nothing is kept: the caller holds its secrets in memory.
  QString read(const QString& name);
  bool write(const QString& name, const QString& secret);
  void remove(const QString& name);
  QString problem() const { return m_problem; }

 private:
  QHash<QString, QString> readFile() const;
  bool writeFile(const QHash<QString, QString>& secrets);

  Keyring& m_keyring;
  SettingsStore& m_settings;
  SecretPlace m_place = SecretPlace::Keyring;
  QString m_filePath;
  int m_keyringKnown = -1;  // -1 not asked yet, 0 no, 1 yes
  QString m_keyringProblem;
  mutable QString m_problem;
};

// Settings keys of the choice.
inline const QString kPlaceSetting = QStringLiteral("EbayGeheimnisse");
inline const QString kFileSetting = QStringLiteral("EbayGeheimnisDatei");

}  // namespace ebay
