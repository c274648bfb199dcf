#include "platform/linux/x11windowlist.h"

X11WindowList::X11WindowList() = default;
X11WindowList::~X11WindowList() = default;

QList<TopLevelWindow> X11WindowList::windows() {
  return {};
}
