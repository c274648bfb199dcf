#pragma once

#include <QDBusConnection>
#include <functional>
#include <optional>

// A D-Bus connection made when it is first needed, so that a program run that never asks for
// the service neither waits for the bus nor starts one.
class LazyBus {
 public:
  using Connector = std::function<QDBusConnection()>;
  explicit LazyBus(Connector connect) : m_connect(std::move(connect)) {}
  static LazyBus system() {
    return LazyBus([] { return QDBusConnection::systemBus(); });
  }
  static LazyBus session() {
    return LazyBus([] { return QDBusConnection::sessionBus(); });
  }
  QDBusConnection& get() {
    if (!m_bus) m_bus = m_connect();
    return *m_bus;
  }

 private:
  Connector m_connect;
  std::optional<QDBusConnection> m_bus;
};
