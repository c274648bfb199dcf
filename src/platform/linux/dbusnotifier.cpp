#include "platform/linux/dbusnotifier.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

// The "image-data" hint: width, height, row stride, alpha, bits per sample, channels, pixels.
struct NotificationImage {
  QImage image;
};

QDBusArgument& operator<<(QDBusArgument& arg, const NotificationImage& n) {
  const QImage img = n.image.convertToFormat(QImage::Format_RGBA8888);
  arg.beginStructure();
  arg << img.width() << img.height() << int(img.bytesPerLine()) << true << 8 << 4
      << QByteArray(reinterpret_cast<const char*>(img.constBits()), img.sizeInBytes());
  arg.endStructure();
  return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, NotificationImage& n) {
  int width = 0, height = 0, stride = 0, bits = 0, channels = 0;
  bool alpha = false;
  QByteArray pixels;
  arg.beginStructure();
  arg >> width >> height >> stride >> alpha >> bits >> channels >> pixels;
  arg.endStructure();
  n.image = QImage(reinterpret_cast<const uchar*>(pixels.constData()), width, height, stride,
                   QImage::Format_RGBA8888)
                .copy();
  return arg;
}

// Notification servers may read the body as simple markup.
QString plainBody(const QString& text) {
  QString body = text;
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return body.toHtmlEscaped();
}
}  // namespace

Q_DECLARE_METATYPE(NotificationImage)

DbusNotifier::DbusNotifier(QString appName, QString desktopId, QString iconFile, LazyBus bus,
                           QObject* parent)
    : QObject(parent),
      m_appName(std::move(appName)),
      m_desktopId(std::move(desktopId)),
      m_iconFile(std::move(iconFile)),
      m_bus(std::move(bus)) {
  qDBusRegisterMetaType<NotificationImage>();
}

void DbusNotifier::notify(const QString& title, const QString& text,
                          std::function<void()> clicked) {
  QDBusConnection& bus = m_bus.get();
  if (!bus.isConnected()) return;
  if (!m_listening) {
    m_listening = true;
    bus.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                SLOT(onActionInvoked(uint, QString)));
    bus.connect(kService, kPath, kService, QStringLiteral("NotificationClosed"), this,
                SLOT(onClosed(uint, uint)));
  }
  if (m_icon.isNull() && !m_iconFile.isEmpty()) {
    m_icon = QImage(m_iconFile).scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    m_iconFile.clear();
  }
  QVariantMap hints{{QStringLiteral("desktop-entry"), m_desktopId}};
  if (!m_icon.isNull())
    hints.insert(QStringLiteral("image-data"), QVariant::fromValue(NotificationImage{m_icon}));
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
  call << m_appName << uint(0) << m_desktopId << title << plainBody(text)
       << QStringList{QStringLiteral("default"), QStringLiteral("Anzeigen")} << hints << int(-1);
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, clicked](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            const QDBusPendingReply<uint> reply = *w;
            // No notification service: nothing was shown, and nothing else changes.
            if (!reply.isError() && clicked) m_clicks[reply.value()] = clicked;
          });
}

void DbusNotifier::onActionInvoked(uint id, const QString& action) {
  const auto it = m_clicks.find(id);
  if (it == m_clicks.end() || action != QLatin1String("default")) return;
  const auto clicked = it->second;
  clicked();
}

void DbusNotifier::onClosed(uint id, uint) {
  m_clicks.erase(id);
}
