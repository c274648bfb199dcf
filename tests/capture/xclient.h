#pragma once

#include <xcb/xcb.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

// A plain X client for the tests: creates top-level windows with given properties and sends the
// window manager the requests a pager would (raise, minimise). Its windows go with it.
struct XClient {
  explicit XClient(const QByteArray& display = QByteArray()) {
    if (display.isEmpty() && qEnvironmentVariableIsEmpty("DISPLAY")) return;
    c = xcb_connect(display.isEmpty() ? nullptr : display.constData(), nullptr);
    if (ok()) root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  }
  ~XClient() {
    if (c) xcb_disconnect(c);
  }
  bool ok() const { return c && !xcb_connection_has_error(c); }

  xcb_atom_t atom(const char* name) {
    auto* r = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : XCB_NONE;
    std::free(r);
    return a;
  }
  xcb_window_t create(bool overrideRedirect = false, xcb_window_t parent = XCB_NONE) {
    const xcb_window_t w = xcb_generate_id(c);
    const uint32_t values[] = {0xFFFFFFu, overrideRedirect ? 1u : 0u};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, parent ? parent : root, 10, 10, 200, 120, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    return w;
  }
  // A text property: type "UTF8_STRING" for _NET_WM_NAME, "STRING" (Latin-1) for WM_NAME.
  void setText(xcb_window_t w, const char* property, const char* type, const QByteArray& bytes) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom(property), atom(type), 8,
                        static_cast<uint32_t>(bytes.size()), bytes.constData());
  }
  // A 32-bit property whose type is its own name (WM_STATE, _MOTIF_WM_HINTS).
  void set32(xcb_window_t w, const char* property, const std::vector<uint32_t>& values) {
    const xcb_atom_t a = atom(property);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, a, a, 32, static_cast<uint32_t>(values.size()),
                        values.data());
  }
  // An ATOM list property (_NET_WM_WINDOW_TYPE).
  void setAtoms(xcb_window_t w, const char* property, const std::vector<uint32_t>& atoms) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom(property), XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(atoms.size()), atoms.data());
  }
  uint32_t get32(xcb_window_t w, const char* property) {  // the first value, 0 when none
    auto* r = xcb_get_property_reply(
        c, xcb_get_property(c, 0, w, atom(property), XCB_GET_PROPERTY_TYPE_ANY, 0, 1), nullptr);
    const bool has = r && r->format == 32 && xcb_get_property_value_length(r) >= 4;
    const uint32_t v = has ? *static_cast<const uint32_t*>(xcb_get_property_value(r)) : 0;
    std::free(r);
    return v;
  }
  void map(xcb_window_t w, bool mapped = true) {
    mapped ? xcb_map_window(c, w) : xcb_unmap_window(c, w);
    sync();
  }
  // A client message to the window manager, e.g. WM_CHANGE_STATE {3} minimises.
  void tellManager(xcb_window_t w, const char* type, std::initializer_list<uint32_t> data) {
    xcb_client_message_event_t ev;
    std::memset(&ev, 0, sizeof ev);
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = w;
    ev.type = atom(type);
    std::copy(data.begin(), data.end(), ev.data.data32);
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&ev));
    sync();
  }
  // Returns when the server has carried out every request sent so far.
  void sync() { std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); }

  xcb_connection_t* c = nullptr;
  xcb_window_t root = XCB_NONE;
};

// Polls until the condition holds or five seconds have passed (window managers work
// asynchronously). Returns the condition's last value.
inline bool waitFor(const std::function<bool()>& condition) {
  QElapsedTimer t;
  t.start();
  while (!condition()) {
    if (t.elapsed() > 5000) return condition();
    QThread::msleep(20);
  }
  return true;
}

// A private Xvfb without a window manager; display() is empty when it could not start.
class PrivateXServer {
 public:
  PrivateXServer() {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) return;
    // -displayfd 1: the server writes its display number to its standard output.
    m_process.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"),
                           QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QByteArray out;
    while (!out.contains('\n') && m_process.waitForReadyRead(10000)) out += m_process.readAll();
    if (!out.trimmed().isEmpty()) m_display = ":" + out.trimmed();
  }
  ~PrivateXServer() { kill(); }
  QByteArray display() const { return m_display; }
  void kill() {
    m_process.terminate();
    m_process.waitForFinished(5000);
  }

 private:
  QProcess m_process;
  QByteArray m_display;
};
