#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <functional>

// A dbus-daemon of the test's own (started with the session bus's rules, which also serve as a
// private "system" bus). Ends with the object.
class PrivateBus {
 public:
  PrivateBus();
  ~PrivateBus();
  bool ok() const { return !m_address.isEmpty(); }
  QString address() const { return m_address; }
  // A new connection to it; names are made unique (Qt keeps one connection per name for the
  // whole process).
  QDBusConnection connect(const QString& name) const;
  // A connector for LazyBus; `address` may also be one where no bus is.
  static std::function<QDBusConnection()> connector(const QString& address, const QString& name);

 private:
  QProcess m_daemon;
  QString m_address;
};
