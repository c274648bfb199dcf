#include "platform/linux/qtplatform.h"

#include <QtGlobal>

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

}  // namespace qtplatform
