#pragma once

#include "app/context.h"

class ScanView;
struct TopLevelWindow;

// Takes the auction item over from the first browser window (topmost first) whose title shows
// an auction page, or restores the saved item, and tells the main window what to show as it
// goes. Counts the program's own windows on the way.
void Finde_Alle_Fenster(AppContext& ctx, ScanView& view);

// True when the window's style has every bit of the task-window style mask (visible and
// bordered).
bool TaskWindow(AppContext& ctx, const TopLevelWindow& window);
