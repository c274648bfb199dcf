#include "support/fakedesktop.h"

#include <QDBusArgument>

#include <fcntl.h>
#include <unistd.h>

bool FakeLogind::serveOn(QDBusConnection bus) {
  return bus.registerObject(QStringLiteral("/org/freedesktop/login1"), this,
                            QDBusConnection::ExportAllSlots) &&
         bus.registerService(QStringLiteral("org.freedesktop.login1"));
}

int FakeLogind::held() const {
  int n = 0;
  for (const Lock& l : locks) n += l.released ? 0 : 1;
  return n;
}

QDBusUnixFileDescriptor FakeLogind::Inhibit(const QString& what, const QString& who,
                                            const QString& why, const QString& mode) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return QDBusUnixFileDescriptor();
  const qsizetype index = locks.size();
  locks.append({what, who, why, mode, false});
  auto watch = std::make_unique<QSocketNotifier>(ends[0], QSocketNotifier::Read);
  QSocketNotifier* w = watch.get();
  connect(w, &QSocketNotifier::activated, this, [this, w, index, fd = ends[0]] {
    char c;
    if (::read(fd, &c, 1) > 0) return;
    w->setEnabled(false);
    ::close(fd);
    locks[index].released = true;
    emit changed();
  });
  m_watches.push_back(std::move(watch));
  const QDBusUnixFileDescriptor lock(ends[1]);  // a copy goes to the caller
  ::close(ends[1]);
  emit changed();
  return lock;
}

bool FakeNotifications::serveOn(QDBusConnection bus) {
  return bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) &&
         bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

uint FakeNotifications::Notify(const QString& app_name, uint, const QString& app_icon,
                               const QString& summary, const QString& body,
                               const QStringList& actions, const QVariantMap& hints, int) {
  Shown s{m_next++,
          app_name,
          app_icon,
          summary,
          body,
          actions,
          hints.value(QStringLiteral("desktop-entry")).toString(),
          QSize()};
  const QVariant image = hints.value(QStringLiteral("image-data"));
  if (image.canConvert<QDBusArgument>()) {
    const QDBusArgument arg = image.value<QDBusArgument>();
    int width = 0, height = 0, stride = 0, bits = 0, channels = 0;
    bool alpha = false;
    QByteArray pixels;
    arg.beginStructure();
    arg >> width >> height >> stride >> alpha >> bits >> channels >> pixels;
    arg.endStructure();
    if (pixels.size() >= qsizetype(stride) * height && channels == 4)
      s.image = QSize(width, height);
  }
  shown.append(s);
  emit changed();
  return s.id;
}

QStringList FakeNotifications::GetCapabilities() {
  return {QStringLiteral("actions"), QStringLiteral("body")};
}

void FakeNotifications::CloseNotification(uint id) {
  emit NotificationClosed(id, 3);
}
