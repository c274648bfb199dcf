// The time page on any body: the zone word, the stamp window, the stamp and the lead the clock
// takes over either work or fail as a conversion does (VbError), never worse; a later reading
// of the page never leaves a range of leads that is empty, nor moves the lead out of it.
#include <cstring>

#include "app/dateserial.h"
#include "app/vberror.h"
#include "fuzzcheck.h"
#include "timesync/siteoffset.h"
#include "timesync/timepage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first twelve bytes give the receive mark and the moment of reading (as times of day)
  // and a later reading's send time and round trip (ms).
  uint32_t mark = 0, now = 0;
  uint16_t later = 0, roundTrip = 0;
  if (size >= 12) {
    std::memcpy(&mark, data, 4);
    std::memcpy(&now, data + 4, 4);
    std::memcpy(&later, data + 8, 2);
    std::memcpy(&roundTrip, data + 10, 2);
    data += 12;
    size -= 12;
  }
  const QString page = fuzz::page(data, size);
  const qsizetype p = timepage::zoneWordPosition(page);
  fuzz::check(p >= 0 && p <= page.size(), "the zone word lies within the page");
  if (p == 0) return 0;
  try {
    const QString window = timepage::stampWindow(page, p);
    fuzz::check(window.size() <= timepage::kStampLength, "the stamp window has 22 characters");
    const double today = 46000.0 + double(now % 86400) / 86400.0;
    const double stamp = timepage::readStamp(window, RegionalFormat::german(), today);
    const timepage::PageTime time = timepage::readPageTime(page, RegionalFormat::german(), today);
    fuzz::check(time.ok && time.shownMs == dateserial::toLinearSeconds(stamp) * 1000,
                "the page's time is its stamp");
    const qint64 nowMs = 46000LL * 86400000 + qint64(now % 86400) * 1000;
    const qint64 lead = siteoffset::wholeSecondLead(time.shownMs, int(mark % 86400), nowMs, nowMs);
    const qint64 delay = time.shownMs - nowMs;
    fuzz::check(lead - delay >= 0 && lead - delay < 86400000, "the transfer takes less than a day");
    siteoffset::Estimate e =
        siteoffset::firstReading({nowMs - roundTrip, nowMs, time.shownMs}, lead);
    const siteoffset::Estimate before = e;
    const siteoffset::Verdict v =
        siteoffset::narrow(e, {nowMs + later, nowMs + later + roundTrip, time.shownMs + 1000});
    fuzz::check(e.lowMs < e.highMs, "the range of leads is never empty");
    fuzz::check(v == siteoffset::Verdict::Narrowed ||
                    (e.lowMs == before.lowMs && e.highMs == before.highMs && e.leadMs == lead),
                "a reading that is not used changes nothing");
    const qint64 adopted = siteoffset::adoptedLead(e.leadMs, nowMs, nowMs);
    fuzz::check((adopted - e.leadMs) % 86400000 == 0, "only whole days are left out of the lead");
    timepage::logLine(today, today, false, siteoffset::leadText(adopted, RegionalFormat::german()));
  } catch (const VbError& e) {
    fuzz::check(e.number() == vberr::kTypeMismatch, "a stamp fails only as a type mismatch");
  }
  return 0;
}
