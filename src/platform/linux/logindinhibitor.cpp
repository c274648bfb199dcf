#include "platform/linux/logindinhibitor.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>

#include <fcntl.h>
#include <unistd.h>

namespace {
QString describe(const QDBusError& error) {
  switch (error.type()) {
    case QDBusError::ServiceUnknown:
      return QStringLiteral("logind nicht erreichbar");
    case QDBusError::AccessDenied:
      return QStringLiteral("von logind nicht erlaubt");
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
      return QStringLiteral("logind antwortet nicht");
    default:
      return error.message().isEmpty() ? error.name() : error.message();
  }
}
}  // namespace

LogindInhibitor::LogindInhibitor(QString who, LazyBus bus, QObject* parent)
    : QObject(parent), m_who(std::move(who)), m_bus(std::move(bus)) {}

LogindInhibitor::~LogindInhibitor() {
  release();
}

void LogindInhibitor::hold(const QString& why,
                           std::function<void(const QString& reason)> unavailable) {
  release();
  const quint64 request = m_requests;
  QDBusConnection& bus = m_bus.get();
  if (!bus.isConnected()) {
    unavailable(QStringLiteral("kein Systembus"));
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
      QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
  call << QStringLiteral("sleep:idle") << m_who << why << QStringLiteral("block");
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, request, unavailable](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
            const bool current = request == m_requests;
            if (reply.isError()) {
              if (current) unavailable(describe(reply.error()));
              return;
            }
            // A copy of our own: the reply's copies are closed with the reply.
            const int fd = reply.value().isValid()
                               ? ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0)
                               : -1;
            if (!current) {
              if (fd >= 0) ::close(fd);  // let go before the answer came
            } else if (fd < 0) {
              unavailable(QStringLiteral("logind gab keine Sperre zurück"));
            } else {
              m_lock = fd;
            }
          });
}

void LogindInhibitor::release() {
  ++m_requests;
  if (m_lock >= 0) {
    ::close(m_lock);
    m_lock = -1;
  }
}
