#pragma once

#include "platform/keyring.h"

// The keyring through QtKeychain (Secret Service through libsecret, or KWallet), under the
// service name "GebotsfalkePlus".
class QtKeyring : public Keyring {
 public:
  explicit QtKeyring(QString service = QStringLiteral("GebotsfalkePlus"))
      : m_service(std::move(service)) {}
  Answer read(const QString& name) override;
  Answer write(const QString& name, const QString& secret) override;
  Answer remove(const QString& name) override;

 private:
  QString m_service;
};
