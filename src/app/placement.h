#pragma once

#include <QString>

#include "app/context.h"

class QWidget;

// Restores the window's position (plus 300 twips per open instance of the program) at the fixed
// size of the main window, and, when asked, its state (0 normal, 1 minimised, 2 maximised).
void GetFormSettings(AppContext& ctx, QWidget& window, const QString& app, const QString& section,
                     bool restoreState);
// Saves the window's normal position in twips and its state.
void SaveFormSettings(AppContext& ctx, QWidget& window, const QString& app, const QString& section);

// Today at midnight plus (seconds since midnight + offset) / 86400.
double TimeStamp(AppContext& ctx, double offsetSeconds);
// Waits the number of seconds while the window keeps processing events.
void Pause(AppContext& ctx, double seconds);
