#include "app/placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

#include "app/appstate.h"
#include "app/errortrap.h"
#include "app/onscreen.h"
#include "app/settings.h"
#include "app/twips.h"
#include "platform/clock.h"
#include "platform/services.h"

namespace {
qint16 multiply16(qint16 a, qint16 b) {
  const int product = int(a) * int(b);
  if (product < -32768 || product > 32767) vberr::raise(vberr::kOverflow);
  return static_cast<qint16>(product);
}

// The position and size the window has when neither minimised nor maximised. The inner
// (client) rectangle is used both ways, so a window comes back exactly where it was, whatever
// frame the window manager draws around it.
QRect normalRect(const QWidget& w) {
  if (w.isMinimized() || w.isMaximized()) return w.normalGeometry();
  return w.geometry();
}

// A position stored under another screen layout (another scale, a monitor since unplugged)
// may lie partly or wholly off today's screens: the window comes back whole on the nearest one.
void keepWholeOnScreen(QWidget& w) {
  QList<QRect> screens;
  for (const QScreen* s : QGuiApplication::screens()) screens.append(s->availableGeometry());
  const QPoint shown = onscreen::wholeOnScreen(w.geometry(), screens);
  if (shown != w.geometry().topLeft()) w.setGeometry(QRect(shown, w.geometry().size()));
}
}  // namespace

void GetFormSettings(AppContext& ctx, QWidget& window, const QString& app, const QString& section,
                     bool restoreState) {
  trap(ctx, "GetFormSettings", [&] {
    const RegionalFormat& fmt = ctx.state.region;
    const qint16 cascade = multiply16(300, ctx.state.instanceCount);
    // A stored text that is no number: its box names the setting.
    auto stored = [&](const char* key, auto convert) {
      const QString name = QString::fromLatin1(key);
      try {
        return convert(ctx.settings.GetSetting(app, section, name, 0), fmt);
      } catch (const VbError& e) {
        throw vberr::inSetting(e, name);
      }
    };
    const auto toSingle = [](const QString& t, const RegionalFormat& f) {
      return regional::toSingle(t, f);
    };
    const float left = stored("Left", toSingle) + cascade;
    const float top = stored("Top", toSingle) + cascade;
    window.setGeometry(twips::toPixelsX(left, &window), twips::toPixelsY(top, &window),
                       window.width(), window.height());
    keepWholeOnScreen(window);
    if (!restoreState) return;
    const qint16 state = stored("WindowState", [](const QString& t, const RegionalFormat& f) {
      return regional::toInt16(t, f);
    });
    switch (state) {
      case 0:
        window.setWindowState(Qt::WindowNoState);
        break;
      case 1:
        window.setWindowState(Qt::WindowMinimized);
        break;
      case 2:
        window.setWindowState(Qt::WindowMaximized);
        break;
      default:
        vberr::raise(vberr::kInvalidProperty);
    }
  });
}

void SaveFormSettings(AppContext& ctx, QWidget& window, const QString& app,
                      const QString& section) {
  trap(ctx, "SaveFormSettings", [&] {
    const QRect r = normalRect(window);
    const double tx = twips::perPixelX(&window);
    const double ty = twips::perPixelY(&window);
    const RegionalFormat& fmt = ctx.state.region;
    auto save = [&](const char* key, double value) {
      ctx.settings.SaveSetting(app, section, QString::fromLatin1(key),
                               regional::formatDouble(value, fmt));
    };
    save("Left", tx * r.left());
    save("Top", ty * r.top());
    save("Width", tx * r.width());
    save("Height", ty * r.height());
    const int state = window.isMinimized() ? 1 : window.isMaximized() ? 2 : 0;
    ctx.settings.SaveSetting(app, section, QStringLiteral("WindowState"), QString::number(state));
  });
}

double TimeStamp(AppContext& ctx, double offsetSeconds) {
  double result = 0;
  trap(ctx, "TimeStamp", [&] {
    const Clock& clock = ctx.services.clock;
    const qint64 ms = clock.localMs();
    const double midnight = static_cast<double>(Clock::floorDiv(ms, 86400000));
    const double sinceMidnight =
        static_cast<double>(ms - Clock::floorDiv(ms, 86400000) * 86400000) / 1000.0;
    result = midnight + (sinceMidnight + offsetSeconds) / 86400.0;
  });
  return result;
}

void Pause(AppContext& ctx, double seconds) {
  trap(ctx, "Pause", [&] {
    if (!std::isfinite(seconds)) vberr::raise(vberr::kOverflow);
    const double target = TimeStamp(ctx, seconds);
    const auto targetMs = static_cast<qint64>(std::llround(target * 86400000.0));
    // The wall clock decides, so the pause ends on time even across midnight or when the clock
    // is set meanwhile; the wait itself sleeps in the event loop instead of spinning.
    while (TimeStamp(ctx, 0) < target) {
      ctx.services.clock.waitUntilMs(targetMs);
      if (ctx.state.closing) break;  // the main window is closing: stop waiting
    }
  });
}
