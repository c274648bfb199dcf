// The time page on any body: the zone word, the stamp window, the stamp and the clock target
// either work or fail as a conversion does (VbError), never worse.
#include <cstring>

#include "app/dateserial.h"
#include "app/vberror.h"
#include "fuzzcheck.h"
#include "timesync/timepage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first eight bytes give the receive mark and the moment of reading (as times of day).
  uint32_t mark = 0, now = 0;
  if (size >= 8) {
    std::memcpy(&mark, data, 4);
    std::memcpy(&now, data + 4, 4);
    data += 8;
    size -= 8;
  }
  const QString page = fuzz::page(data, size);
  const qsizetype p = timepage::zoneWordPosition(page);
  fuzz::check(p >= 0 && p <= page.size(), "the zone word lies within the page");
  if (p == 0) return 0;
  try {
    const QString window = timepage::stampWindow(page, p);
    fuzz::check(window.size() <= timepage::kStampLength, "the stamp window has 22 characters");
    const double markTime = double(mark % 86400) / 86400.0;
    const double today = 46000.0 + double(now % 86400) / 86400.0;
    const double stamp = timepage::readStamp(window, RegionalFormat::german(), today);
    const int delay = timepage::transferDelay(markTime, today);
    fuzz::check(delay >= 0 && delay < 86400, "the transfer delay is less than a day");
    const timepage::ClockTarget t = timepage::clockTarget(stamp, delay, today);
    fuzz::check(t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 &&
                    t.second < 60,
                "the clock is set to a time of day");
    fuzz::check(!t.setDate || dateserial::isValidDate(t.year, t.month, t.day),
                "a date that is set is a calendar date");
    timepage::logLine(today, t.newTime, false);
  } catch (const VbError& e) {
    fuzz::check(e.number() == vberr::kTypeMismatch, "a stamp fails only as a type mismatch");
  }
  return 0;
}
