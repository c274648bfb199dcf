#pragma once

class QWidget;

// The window design measures positions in twips (1440 per inch); widgets measure in pixels.
namespace twips {
double perPixelX(const QWidget* w = nullptr);
double perPixelY(const QWidget* w = nullptr);
int toPixelsX(double twips, const QWidget* w = nullptr);
int toPixelsY(double twips, const QWidget* w = nullptr);
// Places a child widget at left, top with width, height, all in twips.
void setGeometry(QWidget* w, double left, double top, double width, double height);
double top(const QWidget* w);
double height(const QWidget* w);
void setTop(QWidget* w, double top);
}  // namespace twips
