#include "app/onscreen.h"

#include <algorithm>
#include <limits>

namespace onscreen {
namespace {
qint64 area(const QRect& r) {
  return r.isEmpty() ? 0 : qint64(r.width()) * r.height();
}

// Squared distance between two rectangles that do not meet; 0 when they do.
qint64 gap(const QRect& a, const QRect& b) {
  const qint64 dx = std::max({0, b.left() - a.right(), a.left() - b.right()});
  const qint64 dy = std::max({0, b.top() - a.bottom(), a.top() - b.bottom()});
  return dx * dx + dy * dy;
}

bool shownWhole(const QRect& window, const QList<QRect>& screens) {
  // Screens lie side by side; one that mirrors another shows nothing more.
  QList<QRect> distinct;
  for (const QRect& s : screens)
    if (!distinct.contains(s)) distinct.append(s);
  qint64 seen = 0;
  for (const QRect& s : distinct) seen += area(window.intersected(s));
  return seen >= area(window);
}

}  // namespace

QPoint keepOnScreen(const QRect& frame, const QRect& screen) {
  int x = frame.x();
  int y = frame.y();
  // Right and bottom first, so that a frame larger than the screen ends up at its top-left.
  x = std::min(x, screen.x() + screen.width() - frame.width());
  y = std::min(y, screen.y() + screen.height() - frame.height());
  x = std::max(x, screen.x());
  y = std::max(y, screen.y());
  return {x, y};
}

QPoint wholeOnScreen(const QRect& window, const QList<QRect>& screens) {
  if (screens.isEmpty() || shownWhole(window, screens)) return window.topLeft();
  const QRect* best = nullptr;
  qint64 bestOverlap = 0;
  qint64 bestGap = std::numeric_limits<qint64>::max();
  for (const QRect& s : screens) {
    const qint64 overlap = area(window.intersected(s));
    const qint64 distance = gap(window, s);
    if (overlap > bestOverlap || (bestOverlap == 0 && overlap == 0 && distance < bestGap)) {
      best = &s;
      bestOverlap = overlap;
      bestGap = distance;
    }
  }
  return keepOnScreen(window, *best);
}

}  // namespace onscreen
