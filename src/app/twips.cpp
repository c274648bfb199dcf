#include "app/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace twips {
namespace {
const QScreen* screenOf(const QWidget* w) {
  if (w && w->screen()) return w->screen();
  return QGuiApplication::primaryScreen();
}
}  // namespace

double perPixelX(const QWidget* w) {
  const QScreen* s = screenOf(w);
  const double dpi = s ? s->logicalDotsPerInchX() : 96.0;
  return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

double perPixelY(const QWidget* w) {
  const QScreen* s = screenOf(w);
  const double dpi = s ? s->logicalDotsPerInchY() : 96.0;
  return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

int toPixelsX(double t, const QWidget* w) {
  return static_cast<int>(std::lround(t / perPixelX(w)));
}
int toPixelsY(double t, const QWidget* w) {
  return static_cast<int>(std::lround(t / perPixelY(w)));
}

void setGeometry(QWidget* w, double l, double t, double wd, double h) {
  w->setGeometry(toPixelsX(l, w), toPixelsY(t, w), toPixelsX(wd, w), toPixelsY(h, w));
}

double top(const QWidget* w) {
  return w->y() * perPixelY(w);
}
double height(const QWidget* w) {
  return w->height() * perPixelY(w);
}
void setTop(QWidget* w, double t) {
  w->move(w->x(), toPixelsY(t, w));
}
}  // namespace twips
