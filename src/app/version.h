#pragma once

#include <QString>

// The program's own version: 1.3.6.
namespace version {
inline constexpr int kMajor = 1;
inline constexpr int kMinor = 3;
inline constexpr int kRevision = 6;

// The program's title, shown on its message boxes.
inline QString appTitle() {
  return QStringLiteral("GebotsfalkePlus");
}

// The name of the program's desktop entry (without ".desktop") and of its icon.
inline QString desktopId() {
  return QStringLiteral("org.example.GebotsfalkePlus");
}

// What the program tells the vendor server about the installation besides its version.
inline QString installTag() {
  return QStringLiteral("Linux");
}

// "1.3.6"
inline QString full() {
  return QStringLiteral("%1.%2.%3").arg(kMajor).arg(kMinor).arg(kRevision);
}
// " GebotsfalkePlus 1.3": the main window's caption (no revision).
inline QString mainCaption() {
  return QStringLiteral(" GebotsfalkePlus %1.%2").arg(kMajor).arg(kMinor);
}
}  // namespace version
