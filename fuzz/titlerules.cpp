// The browser scan's title rules on any window title: the pieces keep their lengths, the item
// number is a whole number or none, and the end time either reads as a date-time or fails as a
// conversion does.
#include "capture/titlerules.h"
#include <QList>
#include <algorithm>

#include "app/regional.h"
#include "fuzzcheck.h"

namespace {
qsizetype characters(const QString& text) {
  return text.toUcs4().size();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const QString& raw : {QString::fromUtf8(fuzz::bytes(data, size)), fuzz::utf16(data, size)}) {
    const QString title = titlerules::windowText(raw);
    fuzz::check(!title.contains(QChar(u'\0')), "the title ends at a NUL");
    titlerules::isProgramWindow(title);
    titlerules::isSavedItemOption(title);
    if (!titlerules::isAuctionPage(title)) continue;
    const titlerules::AuctionTitle a = titlerules::readAuctionTitle(title);
    fuzz::check(characters(a.auktionTitel) <= 38, "the auction title has at most 38 characters");
    const bool number = a.itemId.size() >= 8 && a.itemId.size() <= 19 &&
                        std::all_of(a.itemId.begin(), a.itemId.end(), [](QChar c) {
                          return c >= QLatin1Char('0') && c <= QLatin1Char('9');
                        });
    fuzz::check(a.itemId.isEmpty() || number, "the item number is 8 to 19 digits, or none");
    fuzz::check(characters(a.endText) <= 17, "the end time has at most 17 characters");
    regional::parseDateTime(a.endText, RegionalFormat::german(), 46000.0);
    titlerules::itemCaption(a.auktionTitel);
  }
  return 0;
}
