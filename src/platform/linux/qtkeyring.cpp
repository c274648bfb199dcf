#include "platform/linux/qtkeyring.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>

namespace {
// Runs a job to its end; the keyring answers from the event loop (it may ask the user first).
Keyring::Answer run(QKeychain::Job& job) {
  job.setAutoDelete(false);
  QEventLoop loop;
  QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
  job.start();
  loop.exec();
  Keyring::Answer answer;
  answer.reason = job.errorString();
  switch (job.error()) {
    case QKeychain::NoError:
      answer.status = Keyring::Status::Ok;
      answer.reason.clear();
      break;
    case QKeychain::EntryNotFound:
      answer.status = Keyring::Status::NotFound;
      break;
    case QKeychain::AccessDenied:
    case QKeychain::AccessDeniedByUser:
    case QKeychain::CouldNotDeleteEntry:
      answer.status = Keyring::Status::Refused;
      break;
    default:  // no backend, no service on the bus, anything else
      answer.status = Keyring::Status::Unavailable;
  }
  return answer;
}
}  // namespace

Keyring::Answer QtKeyring::read(const QString& name) {
  QKeychain::ReadPasswordJob job(m_service);
  job.setKey(name);
  Answer answer = run(job);
  if (answer.status == Status::Ok) answer.secret = job.textData();
  return answer;
}

Keyring::Answer QtKeyring::write(const QString& name, const QString& secret) {
  QKeychain::WritePasswordJob job(m_service);
  job.setKey(name);
  job.setTextData(secret);
  return run(job);
}

Keyring::Answer QtKeyring::remove(const QString& name) {
  QKeychain::DeletePasswordJob job(m_service);
  job.setKey(name);
  Answer answer = run(job);
  // Nothing to remove is what removing wanted.
  if (answer.status == Status::NotFound) answer.status = Status::Ok;
  return answer;
}
