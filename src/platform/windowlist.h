#pragma once

#include <QList>
#include <QString>

// One top-level window of the desktop as the browser scan sees it.
struct TopLevelWindow {
  quint64 handle = 0;
  bool visible = false;  // managed and not withdrawn (a minimised window counts)
  // A window of its own that a user works in (an application window or a dialog, whatever
  // draws its title bar); not a panel, the desktop, a menu, tooltip, splash or notification.
  // Together with visible it is what the task-window style of the browser scan asks for.
  bool bordered = false;
  QString title;
};

// The desktop's top-level windows, topmost first.
class WindowList {
 public:
  virtual ~WindowList() = default;
  virtual QList<TopLevelWindow> windows() = 0;
};
