#include "xwatch.h"

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {
uint32_t atom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* r =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
  const uint32_t a = r ? r->atom : 0;
  std::free(r);
  return a;
}
}  // namespace

MapWatch::MapWatch() {
  int screenNumber = 0;
  xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return;
  }
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
  m_conn = c;
  m_root = it.data->root;
  m_netWmName = atom(c, "_NET_WM_NAME");
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(c, m_root, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(c);
}

MapWatch::~MapWatch() {
  if (m_conn) xcb_disconnect(m_conn);
}

void MapWatch::drain() {
  if (!m_conn) return;
  // A round trip: every event the server sent before it is now in the queue.
  std::free(xcb_get_input_focus_reply(m_conn, xcb_get_input_focus(m_conn), nullptr));
  while (xcb_generic_event_t* e = xcb_poll_for_event(m_conn)) std::free(e);
}

QByteArray MapWatch::title(uint32_t window) {
  for (const uint32_t property : {m_netWmName, uint32_t(XCB_ATOM_WM_NAME)}) {
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        m_conn, xcb_get_property(m_conn, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
        nullptr);
    QByteArray text;
    if (r && r->type != XCB_NONE)
      text = QByteArray(static_cast<const char*>(xcb_get_property_value(r)),
                        xcb_get_property_value_length(r));
    std::free(r);
    if (!text.isEmpty()) return text;
  }
  return QByteArray();
}

uint32_t MapWatch::titled(uint32_t window, const QByteArray& text, int depth) {
  if (title(window).contains(text)) return window;
  if (depth == 0) return 0;
  xcb_query_tree_reply_t* r = xcb_query_tree_reply(m_conn, xcb_query_tree(m_conn, window), nullptr);
  uint32_t found = 0;
  if (r) {
    const xcb_window_t* kids = xcb_query_tree_children(r);
    for (int i = 0; i < xcb_query_tree_children_length(r) && !found; ++i)
      found = titled(kids[i], text, depth - 1);
  }
  std::free(r);
  return found;
}

uint32_t MapWatch::waitForMapped(const QByteArray& text, int timeoutMs) {
  if (!m_conn) return 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < until) {
    xcb_generic_event_t* e = xcb_poll_for_event(m_conn);
    if (!e) {
      if (xcb_connection_has_error(m_conn)) return 0;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
      continue;
    }
    uint32_t found = 0;
    if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY) {
      const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(e);
      if (!map->override_redirect) found = titled(map->window, text, 3);
    }
    std::free(e);
    if (found) return found;
  }
  return 0;
}
