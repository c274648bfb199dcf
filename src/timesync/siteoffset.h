#pragma once

#include <QString>
#include <QtGlobal>

#include "app/regional.h"

// How far the auction site's clock runs ahead of the computer's ("the lead"), measured to the
// millisecond from a page that shows whole seconds. Every reading of the time page says: the
// site made the page at some moment between sending the request and the answer's arrival, and
// its clock then showed the page's second. So the lead lies in
//   [shown - arrived, shown + 1000 - sent)
// and each further reading narrows that range. A reading timed so that, if the lead were the
// middle of the range, the site's second would change just as the page is made (half a round
// trip after sending) halves it: a binary search over the phase of the site's second. The
// program takes the smallest lead the range allows: its clock is then never ahead of the
// site's, so no bid goes out before its second, and it is behind by at most the range's width.
// All times are the computer's own clock in ms since 30.12.1899.
namespace siteoffset {

// A later reading whose round trip took longer than this tells too little and is not used.
inline constexpr qint64 kSlowestRoundTripMs = 2000;
// The readings after the first one stop when the range is this narrow, or after so many.
inline constexpr qint64 kPreciseEnoughMs = 6;
inline constexpr int kMostProbes = 10;
// Arming measures the site's clock again when it was not measured for this long.
inline constexpr qint64 kMeasurementKeptMs = 30 * 60 * 1000;

struct Reading {
  qint64 sentMs = 0;     // the request went out
  qint64 arrivedMs = 0;  // the answer began to arrive
  qint64 shownMs = 0;    // the whole second the page showed
};

struct Estimate {
  qint64 lowMs = 0;  // every lead in [lowMs, highMs) fits all readings so far
  qint64 highMs = 0;
  qint64 leadMs = 0;             // the lead the program goes by: lowMs once narrowed
  qint64 wholeSecondLeadMs = 0;  // the first page read alone, in whole seconds
  qint64 roundTripMs = 0;        // the shortest round trip seen
  int probes = 0;                // later readings that were used
};

// The first page read as always: its stamp plus the whole seconds from the answer's arrival
// (markSecondOfDay, the program's clock) to now on the program's clock, counted forwards over
// midnight; as a lead over the computer's clock now.
qint64 wholeSecondLead(qint64 shownMs, int markSecondOfDay, qint64 programNowMs,
                       qint64 computerNowMs);

// The first page: its reading in whole seconds (stamp plus the whole seconds the answer took)
// is the lead until a later reading narrows the range.
Estimate firstReading(const Reading& reading, qint64 wholeSecondLeadMs);

enum class Verdict {
  Narrowed,     // the reading was used
  TooSlow,      // its round trip took longer than kSlowestRoundTripMs
  OutOfBounds,  // it fits none of the earlier readings (a page that jumped, a clock that did)
};
// Uses a later reading; anything but Narrowed leaves the estimate as it was.
Verdict narrow(Estimate& estimate, const Reading& reading);

// Whether further readings are worth their time.
bool precise(const Estimate& estimate);

// When to send the next request (not before earliestMs) so that the site makes the page where
// its second changes if the lead is the middle of the range; the page is taken to be made half
// a round trip after sending.
qint64 nextSendMs(const Estimate& estimate, qint64 earliestMs);

// The lead the clock takes over, as setting the clock to the site's time would do: the site's
// date counts only while it lies less than 3 days after the program's date (programNowMs, the
// clock as the program went by it until now); further ahead only its time of day is taken.
qint64 adoptedLead(qint64 leadMs, qint64 computerNowMs, qint64 programNowMs);

// How far taking the lead over moves the program's clock now (adoptedLead's lead against the
// program's clock): positive moves it on, so the countdown and the bid's trigger come earlier;
// negative sets it back, so they come later.
qint64 clockShift(qint64 leadMs, qint64 computerNowMs, qint64 programNowMs);

// While a bid is armed, a measurement that would set the clock back by more than this is taken
// over only on the user's yes: a wrong or hostile time page may make the bid early, never late.
inline constexpr qint64 kLongestUnaskedDelayMs = 3000;
// While a bid is armed, a move of the clock by this much or more is shown, not only logged.
inline constexpr qint64 kShownShiftMs = 1000;

// What the window says about a measurement that moves an armed bid's trigger by shiftMs: that
// it goes out earlier or later, and, with `asking`, the question whether to take it over.
QString triggerMoveText(qint64 shiftMs, bool asking, const RegionalFormat& fmt);

// Whether arming measures again: nothing measured in this run (lastMs 0), or not for
// kMeasurementKeptMs (either way: a clock set back counts too).
bool measurementDue(qint64 lastMs, qint64 nowMs);

// "+90,4 Sekunden": the lead in seconds with one decimal, signed.
QString leadText(qint64 leadMs, const RegionalFormat& fmt);
// The line after "Die Systemuhr konnte nicht gestellt werden." when the lead is kept.
QString keptLeadLine(qint64 leadMs, const RegionalFormat& fmt);

}  // namespace siteoffset
