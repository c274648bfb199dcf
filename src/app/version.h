#pragma once

#include <QString>

// The program's own version: 1.3.6.
namespace version {
inline constexpr int kMajor = 1;
inline constexpr int kMinor = 3;
inline constexpr int kRevision = 6;

// "1.3.6"
inline QString full() {
  return QStringLiteral("%1.%2.%3").arg(kMajor).arg(kMinor).arg(kRevision);
}
// " GebotsfalkePlus 1.3": the main window's caption (no revision).
inline QString mainCaption() {
  return QStringLiteral(" GebotsfalkePlus %1.%2").arg(kMajor).arg(kMinor);
}
}  // namespace version
