#pragma once

#include <QtGlobal>

class Form1;
struct TopLevelWindow;
namespace itempage {
struct Outcome;
}

// Takes the auction item over from the first browser window (topmost first) whose title shows
// an auction page, or restores the saved item, and puts the main window into the matching
// state. Counts the program's own windows on the way.
void Finde_Alle_Fenster(Form1& form);

// True when the window's style has every bit of the task-window style mask (visible and
// bordered).
bool TaskWindow(Form1& form, const TopLevelWindow& window);

// True when a window other than the main window shows an auction page, which the scan would
// take over.
bool auctionPageShown(Form1& form);

// Puts the main window into the state of an item taken over, for an item read from its page.
void takeOverItem(Form1& form, const itempage::Outcome& item);
