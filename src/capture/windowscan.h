#pragma once

#include <QtGlobal>

#include "app/context.h"

class ScanView;
struct TopLevelWindow;
namespace itempage {
struct Outcome;
}

// Takes the auction item over from the first browser window (topmost first) whose title shows
// an auction page, or restores the saved item, and tells the main window what to show as it
// goes. Counts the program's own windows on the way.
void Finde_Alle_Fenster(AppContext& ctx, ScanView& view);

// True when the window's style has every bit of the task-window style mask (visible and
// bordered).
bool TaskWindow(AppContext& ctx, const TopLevelWindow& window);

// True when a window other than the main window shows an auction page, which the scan would
// take over.
bool auctionPageShown(AppContext& ctx, quint64 ownWindowHandle);

// Tells the main window to show an item taken over, for an item read from its page: the same
// steps as for a browser window's title.
void takeOverItem(AppContext& ctx, ScanView& view, const itempage::Outcome& item);
