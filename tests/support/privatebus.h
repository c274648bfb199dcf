#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>

// A dbus-daemon of the test's own (started with the session bus's rules, which also serve as a
// private "system" bus). Ends with the object.
class PrivateBus {
 public:
  PrivateBus();
  ~PrivateBus();
  bool ok() const { return !m_address.isEmpty(); }
  QString address() const { return m_address; }
  // A new connection to it under the given name (each name is one connection).
  QDBusConnection connect(const QString& name) const;

 private:
  QProcess m_daemon;
  QString m_address;
};
