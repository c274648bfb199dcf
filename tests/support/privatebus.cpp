#include "support/privatebus.h"

PrivateBus::PrivateBus() {
  m_daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"),
                  QStringLiteral("--nopidfile"), QStringLiteral("--print-address")});
  if (!m_daemon.waitForStarted(5000)) return;
  for (int i = 0; i < 100 && !m_daemon.canReadLine(); ++i) m_daemon.waitForReadyRead(50);
  m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

PrivateBus::~PrivateBus() {
  if (m_daemon.state() == QProcess::NotRunning) return;
  m_daemon.terminate();
  if (!m_daemon.waitForFinished(3000)) m_daemon.kill();
  m_daemon.waitForFinished(1000);
}

QDBusConnection PrivateBus::connect(const QString& name) const {
  return connector(m_address, name)();
}

std::function<QDBusConnection()> PrivateBus::connector(const QString& address,
                                                       const QString& name) {
  static int connections = 0;
  return [address, name] {
    return QDBusConnection::connectToBus(address, name + QString::number(++connections));
  };
}
