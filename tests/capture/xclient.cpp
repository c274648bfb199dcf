#include "xclient.h"

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QThread>
#include <cstdlib>
#include <cstring>

XClient::XClient(const QByteArray& displayName) {
  if (displayName.isEmpty() && qEnvironmentVariableIsEmpty("DISPLAY")) return;
  int screen = 0;
  m_conn = xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screen);
  if (xcb_connection_has_error(m_conn)) return;
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_conn));
  for (int i = 0; i < screen; ++i) xcb_screen_next(&it);
  m_root = it.data->root;
}

XClient::~XClient() {
  if (!m_conn) return;
  if (ok()) {
    for (xcb_window_t w : m_windows) xcb_destroy_window(m_conn, w);
    xcb_flush(m_conn);
  }
  xcb_disconnect(m_conn);
}

xcb_atom_t XClient::atom(const char* name) {
  auto* r = xcb_intern_atom_reply(
      m_conn, xcb_intern_atom(m_conn, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t a = r ? r->atom : XCB_NONE;
  std::free(r);
  return a;
}

xcb_window_t XClient::create(bool overrideRedirect, xcb_window_t parent) {
  const xcb_window_t w = xcb_generate_id(m_conn);
  const uint32_t values[] = {0xFFFFFFu, overrideRedirect ? 1u : 0u};
  xcb_create_window(m_conn, XCB_COPY_FROM_PARENT, w, parent == XCB_NONE ? m_root : parent, 10, 10,
                    200, 120, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                    XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
  m_windows.push_back(w);
  return w;
}

void XClient::setUtf8Title(xcb_window_t w, const QString& title) {
  const QByteArray utf8 = title.toUtf8();
  xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, w, atom("_NET_WM_NAME"), atom("UTF8_STRING"),
                      8, static_cast<uint32_t>(utf8.size()), utf8.constData());
}

void XClient::setWmName(xcb_window_t w, const QByteArray& bytes, const char* type) {
  xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, atom(type), 8,
                      static_cast<uint32_t>(bytes.size()), bytes.constData());
}

void XClient::setNoDecorations(xcb_window_t w) {
  const uint32_t hints[5] = {2, 0, 0, 0, 0};  // flags: decorations; decorations: none
  const xcb_atom_t a = atom("_MOTIF_WM_HINTS");
  xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, w, a, a, 32, 5, hints);
}

void XClient::setWmState(xcb_window_t w, uint32_t state) {
  const uint32_t data[2] = {state, XCB_NONE};
  const xcb_atom_t a = atom("WM_STATE");
  xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, w, a, a, 32, 2, data);
}

void XClient::map(xcb_window_t w) {
  xcb_map_window(m_conn, w);
  flush();
}

void XClient::unmap(xcb_window_t w) {
  xcb_unmap_window(m_conn, w);
  flush();
}

namespace {
void sendToRoot(xcb_connection_t* c, xcb_window_t root, xcb_window_t w, xcb_atom_t type,
                std::initializer_list<uint32_t> data) {
  xcb_client_message_event_t ev;
  std::memset(&ev, 0, sizeof ev);
  ev.response_type = XCB_CLIENT_MESSAGE;
  ev.format = 32;
  ev.window = w;
  ev.type = type;
  int i = 0;
  for (uint32_t d : data) ev.data.data32[i++] = d;
  xcb_send_event(c, 0, root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&ev));
  xcb_flush(c);
}
}  // namespace

void XClient::activate(xcb_window_t w) {
  // Source 2: a pager, which the manager obeys without focus-stealing checks.
  sendToRoot(m_conn, m_root, w, atom("_NET_ACTIVE_WINDOW"), {2, XCB_CURRENT_TIME, 0});
}

void XClient::iconify(xcb_window_t w) {
  sendToRoot(m_conn, m_root, w, atom("WM_CHANGE_STATE"), {3});
}

void XClient::raise(xcb_window_t w) {
  const uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(m_conn, w, XCB_CONFIG_WINDOW_STACK_MODE, &above);
  flush();
}

std::vector<uint32_t> XClient::cardinals(xcb_window_t w, const char* property) {
  auto* r = xcb_get_property_reply(
      m_conn, xcb_get_property(m_conn, 0, w, atom(property), XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
      nullptr);
  std::vector<uint32_t> out;
  if (r && r->format == 32) {
    const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(r));
    out.assign(v, v + xcb_get_property_value_length(r) / 4);
  }
  std::free(r);
  return out;
}

bool XClient::hasEwmhManager() {
  const std::vector<uint32_t> check = cardinals(m_root, "_NET_SUPPORTING_WM_CHECK");
  if (check.empty() || cardinals(check.front(), "_NET_SUPPORTING_WM_CHECK") != check) return false;
  // The stacking list exists (it is empty while no client is managed).
  auto* r =
      xcb_get_property_reply(m_conn,
                             xcb_get_property(m_conn, 0, m_root, atom("_NET_CLIENT_LIST_STACKING"),
                                              XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
                             nullptr);
  const bool listed = r && r->type != XCB_NONE;
  std::free(r);
  return listed;
}

void XClient::flush() {
  // A round trip: everything sent so far has been carried out when the reply comes.
  std::free(xcb_get_input_focus_reply(m_conn, xcb_get_input_focus(m_conn), nullptr));
}

bool waitFor(const std::function<bool()>& condition) {
  QElapsedTimer t;
  t.start();
  while (!condition()) {
    if (t.elapsed() > 5000) return condition();
    QThread::msleep(20);
  }
  return true;
}

PrivateXServer::PrivateXServer() {
  const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
  if (xvfb.isEmpty()) return;
  // -displayfd 1: the server writes its display number to our end of its standard output.
  m_process.start(xvfb,
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                   QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                   QStringLiteral("640x480x24")});
  if (!m_process.waitForStarted(5000)) return;
  QByteArray out;
  while (!out.contains('\n') && m_process.waitForReadyRead(10000)) out += m_process.readAll();
  const QByteArray number = out.trimmed();
  if (!number.isEmpty()) m_display = ":" + number;
}

PrivateXServer::~PrivateXServer() {
  kill();
}

void PrivateXServer::kill() {
  if (m_process.state() != QProcess::NotRunning) {
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
      m_process.kill();
      m_process.waitForFinished(5000);
    }
  }
}
