#pragma once

#include "platform/windowlist.h"

// The desktop's top-level windows from the X server, topmost first.
class X11WindowList : public WindowList {
 public:
  X11WindowList();
  ~X11WindowList() override;
  QList<TopLevelWindow> windows() override;
};
