#pragma once

#include <QString>

// The desktop's keyring (Secret Service, KWallet): secrets kept under the program's name,
// outside every file the program writes. Each call returns when the keyring has answered
// (window events keep being processed meanwhile, as a keyring may ask the user to unlock it).
class Keyring {
 public:
  enum class Status {
    Ok,
    NotFound,     // the keyring answered: no secret of that name
    Unavailable,  // no keyring answers on this desktop
    Refused,      // the keyring answered but refused (locked, access denied)
  };
  struct Answer {
    Status status = Status::Unavailable;
    QString secret;  // read: the secret
    QString reason;  // not Ok: why, as the keyring says it
    bool answered() const { return status == Status::Ok || status == Status::NotFound; }
  };

  virtual ~Keyring() = default;
  virtual Answer read(const QString& name) = 0;
  virtual Answer write(const QString& name, const QString& secret) = 0;
  virtual Answer remove(const QString& name) = 0;
};
