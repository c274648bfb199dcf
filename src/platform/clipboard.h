#pragma once

#include <QString>

// The desktop's clipboard.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // The text the clipboard holds (what Ctrl+V would paste); empty when it holds none.
  virtual QString text() = 0;
};
