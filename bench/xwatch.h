#pragma once

#include <QByteArray>
#include <cstdint>

struct xcb_connection_t;

// Watches the X server for top-level windows being mapped (shown), on a connection of its own.
class MapWatch {
 public:
  MapWatch();
  ~MapWatch();
  MapWatch(const MapWatch&) = delete;
  MapWatch& operator=(const MapWatch&) = delete;

  bool ok() const { return m_conn != nullptr; }
  // Forgets what was mapped so far.
  void drain();
  // Waits until a top-level window whose title contains `text` is mapped (under a window
  // manager: its frame). Returns the window that carries the title, 0 when the time is up.
  uint32_t waitForMapped(const QByteArray& text, int timeoutMs);

 private:
  QByteArray title(uint32_t window);
  uint32_t titled(uint32_t window, const QByteArray& text, int depth);

  xcb_connection_t* m_conn = nullptr;
  uint32_t m_root = 0;
  uint32_t m_netWmName = 0;
};
