#pragma once

// Fake desktop services on D-Bus, written as small as the program needs them: logind's
// inhibitor locks and the notification server. Each notes what it was asked for; the
// notification server can be clicked like a user would.
#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QSize>
#include <QSocketNotifier>
#include <QStringList>
#include <QVariantMap>
#include <memory>

class FakeLogind : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

 public:
  struct Lock {
    QString what, who, why, mode;
    bool released = false;
  };
  // Registers as org.freedesktop.login1 on the bus; false when the name or path is taken.
  bool serveOn(QDBusConnection bus);
  QList<Lock> locks;
  int held() const;

 public slots:
  // The lock is one end of a pipe; when every copy of it is closed, the other end reads EOF.
  QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                  const QString& mode);

 signals:
  void changed();

 private:
  std::vector<std::unique_ptr<QSocketNotifier>> m_watches;
};

class FakeNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  struct Shown {
    uint id;
    QString app, icon, summary, body;
    QStringList actions;
    QString desktopEntry;
    QSize image;  // of the "image-data" hint; empty when there is none
  };
  bool serveOn(QDBusConnection bus);
  QList<Shown> shown;
  // The user clicks the notification (its default action).
  void click(uint id) { emit ActionInvoked(id, QStringLiteral("default")); }

 public slots:
  uint Notify(const QString& app_name, uint replaces_id, const QString& app_icon,
              const QString& summary, const QString& body, const QStringList& actions,
              const QVariantMap& hints, int expire_timeout);
  QStringList GetCapabilities();
  void CloseNotification(uint id);

 signals:
  void ActionInvoked(uint id, const QString& action_key);
  void NotificationClosed(uint id, uint reason);
  void changed();

 private:
  uint m_next = 1;
};
