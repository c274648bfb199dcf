#pragma once

#include <QByteArray>
#include <QString>

// Which of Qt's platforms the program runs on. It reads the titles of the desktop's windows
// and places its own through X11: in a Wayland session that offers X11 too (XWayland), it asks
// for X11, so the window scan sees the desktop's X11 windows and the window goes where it
// stood. Clipboard and drag and drop reach Wayland programs through XWayland all the same.
namespace qtplatform {

// The platform to ask for ("xcb"), or empty to leave the choice to Qt: when the user or a
// script named one (QT_QPA_PLATFORM), or when the session lacks either display.
QByteArray choose(const QByteArray& qpaPlatform, const QByteArray& waylandDisplay,
                  const QByteArray& x11Display);

// Applies choose() to this process's environment, before the application object exists.
void applyToEnvironment();

// Why the program's window cannot be shown, after applyToEnvironment(): Qt will look for an X11
// display and finds none (DISPLAY unset, or nobody answers there); Qt itself would abort. Empty
// when the display answers, and when another platform was asked for (Wayland alone, or one
// named in QT_QPA_PLATFORM), which Qt reports itself.
QString displayProblem();

}  // namespace qtplatform
