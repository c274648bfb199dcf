#pragma once

#include <QString>

// How the browser scan reads a window title. Positions are 1-based and count characters
// (Unicode code points, so a character outside the basic plane is never cut in half); a
// position of 0 means "not found".
namespace titlerules {

// Position of the first occurrence of needle in text, 0 when there is none. The case-insensitive
// search folds letters the way the window titles are compared (needles are plain ASCII).
int position(const QString& text, const QString& needle,
             Qt::CaseSensitivity cs = Qt::CaseInsensitive);

// Up to length characters of text starting at the 1-based position start (fewer when the text
// ends earlier, empty when it ends before start).
QString mid(const QString& text, int start, int length);

// A title from another program as plain text: control characters (BEL, ESC, ...) and the bidi
// embedding, override and isolate characters are dropped, tabs and line breaks become blanks.
// Such characters would ring, split a log line, or turn the caption, the log and notifications
// around.
QString plainText(const QString& title);

// The title is cut at a NUL character, as a window text buffer would be, and made plain text.
QString windowText(const QString& title);

// The title belongs to a window of this program: it contains "Gebotsfalke" (case-sensitive).
bool isProgramWindow(const QString& title);

// The title shows an auction page of the site: it contains "(endet " and "eBay" (any case).
bool isAuctionPage(const QString& title);

// The command line asks for the saved item: exactly "-bay", nothing more, nothing less.
bool isSavedItemOption(const QString& commandLine);

// The pieces of an auction page title, e.g.
// "eBay Artikel 1234567890 (endet 05.12.26 20:00:00 MEZ) - Nokia 3310 Handy":
// the item number is the run of digits that starts 13 characters after "eBay" begins, the end
// time starts 7 characters after "(endet " begins, the auction title 4 characters after ") -"
// begins (character 4 of the title when there is no ") -").
struct AuctionTitle {
  QString auktionTitel;  // up to 38 characters
  QString wholeTitle;    // the auction title uncut, without a browser's name after it
  QString itemId;        // 8 to 19 ASCII digits; empty when the title has no such number there
  QString endText;       // up to 17 characters: the end time in the regional date-time form
};
AuctionTitle readAuctionTitle(const QString& title);

// The caption of the main window when no item is shown: " GebotsfalkePlus 1.3.6".
QString idleCaption();
// The caption while an item is shown: the auction title, a blank, "Gebotsfalke".
QString itemCaption(const QString& auktionTitel);

// What the title strip's tooltip says about the item, lines joined by LF: "Artikel " and the
// item number, the whole title, and after a bid "Ihr Gebot: " and its amount. Empty without an
// item number.
QString itemSummary(const QString& itemId, const QString& wholeTitle, const QString& bidAmount);

// The hint shown when there is no item, six lines joined by CR LF: open the item in the browser
// or copy the link to its page, then click "Artikel übernehmen".
QString noItemHint();

}  // namespace titlerules
