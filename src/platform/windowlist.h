#pragma once

#include <QList>
#include <QString>

// One top-level window of the desktop as the browser scan sees it.
struct TopLevelWindow {
  quint64 handle = 0;
  bool visible = false;   // managed and not withdrawn (a minimised window counts)
  bool bordered = false;  // decorated by the window manager
  QString title;
};

// The desktop's top-level windows, topmost first.
class WindowList {
 public:
  virtual ~WindowList() = default;
  virtual QList<TopLevelWindow> windows() = 0;
};
