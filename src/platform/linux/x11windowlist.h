#pragma once

#include <QByteArray>
#include <memory>

#include "platform/windowlist.h"

struct xcb_connection_t;

// The desktop's top-level windows from the X server, topmost first.
//
// Under a window manager that keeps _NET_CLIENT_LIST_STACKING the managed client windows come
// from that list; otherwise from the root window's children (the client window inside each
// frame of a reparenting manager). A window is "visible" while it is managed and not withdrawn
// (a minimised window still is; without a window manager: while it is mapped). It is "bordered"
// when it is a window of its own that a user works in: a normal window or a dialog, whatever its
// decorations (browsers draw their own title bar), but no panel, desktop, menu, tooltip, splash
// screen or notification, and no override-redirect window.
//
// The connection is opened on first use and reopened after the X server went away. Without an
// X server the list is empty; that is said once on stderr.
class X11WindowList : public WindowList {
 public:
  // displayName empty: the DISPLAY of the environment.
  explicit X11WindowList(QByteArray displayName = QByteArray());
  ~X11WindowList() override;
  X11WindowList(const X11WindowList&) = delete;
  X11WindowList& operator=(const X11WindowList&) = delete;

  QList<TopLevelWindow> windows() override;

 private:
  struct Atoms;
  bool connectToServer();
  void disconnectFromServer();

  QByteArray m_displayName;
  xcb_connection_t* m_conn = nullptr;
  int m_screen = 0;
  std::unique_ptr<Atoms> m_atoms;
  bool m_reportedNoDisplay = false;
};

namespace x11text {
// A window title property as text: UTF8_STRING as UTF-8, COMPOUND_TEXT through
// compoundText(), STRING and anything else as Latin-1. Ends at the first NUL.
QString decodeTitle(const QByteArray& bytes, bool utf8, bool compound);
// COMPOUND_TEXT: ASCII and the Latin-1 right half, UTF-8 segments (ESC % G ... ESC % @);
// characters of other character sets become "?".
QString compoundText(const QByteArray& bytes);
}  // namespace x11text
