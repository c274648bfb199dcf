#pragma once

#include <QString>
#include <QStringList>

// Which item a text from the clipboard or a drop names: an item page link or a bare item number.
namespace itemlink {

// Longer texts are not looked at: nobody copies a link that long, and a clipboard may hold a
// whole document.
inline constexpr int kLongestText = 2000;
// A bare number needs this many digits to count as an item number, so that an amount or a count
// left in the clipboard is not taken for one. The site's item numbers have ten or more.
inline constexpr int kShortestBareNumber = 8;
// Item numbers fit into 64 bits.
inline constexpr int kLongestNumber = 19;

// The item number that text names, empty when it names none. Blanks and line breaks around the
// text are ignored. It names one when it is
// - a bare item number: ASCII digits only;
// - an http or https link whose query holds the bare word "ViewItem" and "item=NUMBER"
//   (".../ws/eBayISAPI.dll?ViewItem&item=NUMBER&..."), or whose path is "/itm/NUMBER" or
//   "/itm/any-words/NUMBER"; any host, any further query, any fragment.
QString itemNumber(const QString& text);

// The first of the texts that names an item (a drop may carry a link list and a text).
QString firstItemNumber(const QStringList& texts);

}  // namespace itemlink
