#pragma once

#include <xcb/xcb.h>

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <functional>
#include <vector>

// A plain X client for the tests: creates top-level windows with given titles and asks the
// window manager to raise or minimise them, the way a browser would be treated.
class XClient {
 public:
  // displayName empty: the DISPLAY of the environment.
  explicit XClient(const QByteArray& displayName = QByteArray());
  ~XClient();
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;

  bool ok() const { return m_conn && !xcb_connection_has_error(m_conn); }
  xcb_connection_t* connection() const { return m_conn; }
  xcb_window_t root() const { return m_root; }
  xcb_atom_t atom(const char* name);

  // An unmapped window, a child of parent (the root when none is given).
  xcb_window_t create(bool overrideRedirect = false, xcb_window_t parent = XCB_NONE);
  void setUtf8Title(xcb_window_t w, const QString& title);  // _NET_WM_NAME
  void setWmName(xcb_window_t w, const QByteArray& bytes, const char* type = "STRING");
  void setNoDecorations(xcb_window_t w);            // _MOTIF_WM_HINTS
  void setWmState(xcb_window_t w, uint32_t state);  // as a manager does
  void map(xcb_window_t w);
  void unmap(xcb_window_t w);
  // Asks the window manager to put the window on top / to minimise it.
  void activate(xcb_window_t w);
  void iconify(xcb_window_t w);
  // Puts the window on top directly (without a manager).
  void raise(xcb_window_t w);
  // Reads a 32-bit property (empty when absent).
  std::vector<uint32_t> cardinals(xcb_window_t w, const char* property);
  // An EWMH window manager is running.
  bool hasEwmhManager();
  // Waits until the server has carried out every request sent so far.
  void flush();

 private:
  xcb_connection_t* m_conn = nullptr;
  xcb_window_t m_root = XCB_NONE;
  std::vector<xcb_window_t> m_windows;
};

// Polls until the condition holds or a few seconds have passed (the window manager works
// asynchronously). Returns the condition's last value.
bool waitFor(const std::function<bool()>& condition);

// A private Xvfb without a window manager, for the tests that need the server to themselves.
class PrivateXServer {
 public:
  PrivateXServer();
  ~PrivateXServer();
  bool ok() const { return !m_display.isEmpty(); }
  QByteArray display() const { return m_display; }
  void kill();

 private:
  QProcess m_process;
  QByteArray m_display;
};
