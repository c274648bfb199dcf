#include "platform/linux/qtplatform.h"

#include <QtGlobal>

#include <xcb/xcb.h>

namespace qtplatform {

QByteArray choose(const QByteArray& qpaPlatform, const QByteArray& waylandDisplay,
                  const QByteArray& x11Display) {
  if (!qpaPlatform.trimmed().isEmpty()) return QByteArray();
  if (waylandDisplay.trimmed().isEmpty() || x11Display.trimmed().isEmpty()) return QByteArray();
  return QByteArrayLiteral("xcb");
}

void applyToEnvironment() {
  const QByteArray platform =
      choose(qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY"));
  if (!platform.isEmpty()) qputenv("QT_QPA_PLATFORM", platform);
}

QString displayProblem() {
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM").trimmed();
  if (!platform.isEmpty() && !platform.startsWith("xcb")) return QString();
  const QByteArray display = qgetenv("DISPLAY").trimmed();
  if (platform.isEmpty() && display.isEmpty() && !qgetenv("WAYLAND_DISPLAY").trimmed().isEmpty())
    return QString();
  if (display.isEmpty())
    return QStringLiteral("Keine grafische Oberfläche: DISPLAY ist nicht gesetzt.");
  xcb_connection_t* connection = xcb_connect(display.constData(), nullptr);
  const bool failed = xcb_connection_has_error(connection) != 0;
  xcb_disconnect(connection);
  if (!failed) return QString();
  return QStringLiteral("Keine Verbindung zur grafischen Oberfläche (DISPLAY=") +
         QString::fromLocal8Bit(display) + QStringLiteral(").");
}

}  // namespace qtplatform
