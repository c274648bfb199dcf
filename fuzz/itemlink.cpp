// What a copied or dropped text names, and what an item page's bytes give: any input ends in an
// item number of digits or none, and in a taken-over item only for a running auction.
#include "capture/itemlink.h"
#include "app/dateserial.h"
#include "capture/itempage.h"
#include "fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const QString& text :
       {QString::fromUtf8(fuzz::bytes(data, size)), fuzz::utf16(data, size)}) {
    const QString number = itemlink::itemNumber(text);
    fuzz::check(number.size() <= itemlink::kLongestNumber, "an item number has at most 19 digits");
    for (QChar c : number) fuzz::check(c >= u'0' && c <= u'9', "an item number is ASCII digits");
    fuzz::check(number.isEmpty() || text.size() <= itemlink::kLongestText,
                "a long text names no item");
  }
  const QByteArray body = fuzz::bytes(data, size);
  for (const char* type : {"text/html; charset=windows-1252", "text/html; charset=utf-8", ""}) {
    itempage::Answer answer;
    answer.itemId = QStringLiteral("1234567890");
    answer.arrived = true;
    answer.status = 200;
    answer.pageTitle = itempage::title(itempage::decode(body, QString::fromLatin1(type)));
    for (QChar c : {u'\n', u'\r', u'\t', u'\0'})
      fuzz::check(!answer.pageTitle.contains(c), "the title is one line without TAB or NUL");
    const double now = dateserial::fromParts({2026, 12, 5, 19, 0, 0});
    const itempage::Outcome o = itempage::judge(answer, now, RegionalFormat::german());
    fuzz::check(o.itemId == answer.itemId, "the item number is the one asked for");
    fuzz::check(o.refusal != itempage::Refusal::None ||
                    dateserial::toLinearSeconds(o.endet) > dateserial::toLinearSeconds(now),
                "only a running auction is taken over");
    itempage::logLine(answer, o.refusal);
  }
  return 0;
}
