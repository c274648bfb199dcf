#pragma once

#include <QString>

class QWidget;

// The desktop's default handlers and the taskbar.
class Shell {
 public:
  virtual ~Shell() = default;
  virtual bool openUrl(const QString& url) = 0;
  virtual bool openFile(const QString& path) = 0;
  // Draws the user's attention to the window (taskbar button flashes).
  virtual void flashWindow(QWidget* window) = 0;
};
