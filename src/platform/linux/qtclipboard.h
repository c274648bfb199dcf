#pragma once

#include "platform/clipboard.h"

// The clipboard through Qt: on X11 (and XWayland, whose clipboard the compositor shares with
// Wayland programs) the CLIPBOARD selection.
class QtClipboard : public Clipboard {
 public:
  QString text() override;
};
