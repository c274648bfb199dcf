#include <gtest/gtest.h>

#include <QList>

#include "app/dateserial.h"
#include "timesync/siteoffset.h"

using siteoffset::Estimate;
using siteoffset::Reading;
using siteoffset::Verdict;

namespace {
const RegionalFormat kDe = RegionalFormat::german();

// The computer's clock (or the site's) in ms since 30.12.1899.
qint64 at(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
  return dateserial::dayNumber(y, mo, d) * 86400000 + (h * 3600 + mi * 60 + s) * 1000LL + ms;
}
// Functions, not constants: the day numbers are only ready once dateserial's own constants are.
qint64 evening() {
  return at(2026, 12, 5, 19, 0, 0);
}
qint64 lastSecond() {
  return at(2026, 12, 5, 23, 59, 59);
}
qint64 midnight() {
  return at(2026, 12, 6, 0, 0, 0);
}

// A reading sent at `sent`, arriving `roundTrip` ms later, showing the second `shown`.
Reading reading(qint64 sent, qint64 roundTrip, qint64 shown) {
  return {sent, sent + roundTrip, shown};
}

// The site's whole second at computer time t, for a lead.
qint64 siteSecond(qint64 t, qint64 lead) {
  const qint64 site = t + lead;
  return (site >= 0 ? site / 1000 : (site - 999) / 1000) * 1000;
}
}  // namespace

// The first page's reading counts until a later one narrows the range of leads that fit every
// reading; a reading that is too slow or fits none of the others changes nothing.
TEST(SiteOffset, readingsNarrowTheLeadAcrossSecondsAndDaysAndBadOnesChangeNothing) {
  const Reading first = reading(evening(), 10, evening() + 90000);  // [89990, 91000)
  const struct {
    const char* what;
    Reading first;
    qint64 wholeSecondLead;
    QList<Reading> later;
    QList<Verdict> verdicts;
    qint64 low, high, lead;
  } cases[] = {
      // clang-format off
      {"the first page alone: its whole-second reading", first, 89995, {}, {}, 89990, 91000, 89995},
      {"the second had just changed: the lead is at least 90395 ms", first, 89995,
       {reading(evening() + 1595, 10, evening() + 92000)},
       {Verdict::Narrowed}, 90395, 91000, 90395},
      {"not yet changed: below 90415 ms", first, 89995,
       {reading(evening() + 1585, 10, evening() + 91000)},
       {Verdict::Narrowed}, 89990, 90415, 89990},
      {"both sides: the smallest lead that fits, never ahead of the site", first, 89995,
       {reading(evening() + 1595, 10, evening() + 92000),
        reading(evening() + 2600, 2, evening() + 92000)},
       {Verdict::Narrowed, Verdict::Narrowed}, 90395, 90400, 90395},
      {"the site's second turns midnight", reading(lastSecond(), 20, lastSecond()), 0,
       {reading(lastSecond() + 405, 10, midnight())}, {Verdict::Narrowed}, 585, 1000, 585},
      {"the site 3.3 s behind, the computer just past midnight",
       reading(midnight() + 200, 10, at(2026, 12, 5, 23, 59, 56)), -4000,
       {reading(midnight() + 1250, 10, at(2026, 12, 5, 23, 59, 57))}, {Verdict::Narrowed},
       -4210, -3250, -4210},
      {"a round trip of 2 s still counts", first, 89995,
       {reading(evening() + 1000, 2000, evening() + 92000)},
       {Verdict::Narrowed}, 89990, 91000, 89990},
      {"over 2 s: too slow, nothing changes", first, 89995,
       {reading(evening() + 1595, 2001, evening() + 92000)},
       {Verdict::TooSlow}, 89990, 91000, 89995},
      {"a page that jumps backwards, then a good one", first, 89995,
       {reading(evening() + 1595, 10, evening() + 90000),
        reading(evening() + 1595, 10, evening() + 92000)},
       {Verdict::OutOfBounds, Verdict::Narrowed}, 90395, 91000, 90395},
      {"a page a minute ahead of the first", first, 89995,
       {reading(evening() + 1595, 10, evening() + 152000)},
       {Verdict::OutOfBounds}, 89990, 91000, 89995},
      {"an answer before its request (the clock was set back)", first, 89995,
       {{evening() + 1595, evening() + 1500, evening() + 92000}}, {Verdict::OutOfBounds},
       89990, 91000, 89995},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Estimate e = siteoffset::firstReading(c.first, c.wholeSecondLead);
    QList<Verdict> verdicts;
    for (const Reading& r : c.later) verdicts.append(siteoffset::narrow(e, r));
    EXPECT_EQ(verdicts, c.verdicts);
    EXPECT_EQ(QList<qint64>({e.lowMs, e.highMs, e.leadMs}), QList<qint64>({c.low, c.high, c.lead}));
    EXPECT_EQ(e.wholeSecondLeadMs, c.wholeSecondLead);
  }
}

// Requests timed by nextSendMs find the lead within a few milliseconds in about eight
// readings, whatever the lead, the phase and the round trip (the page made anywhere on the
// way).
TEST(SiteOffset, timedReadingsFindTheLeadWithinAFewMillisecondsInAboutEightRequests) {
  const struct {
    qint64 start, lead, roundTrip;
    double madeAt;  // share of the round trip before the site makes the page
  } cases[] = {
      {evening() + 123, 90400, 1, 0.5},    {evening() + 999, 90400, 0, 0.5},
      {evening() + 500, 1, 30, 0.9},       {lastSecond() + 700, 400, 4, 0.1},
      {midnight() + 10, -3300, 2, 0.5},    {evening(), 86400000 * 2 + 777, 12, 0.3},
      {lastSecond() + 990, -999, 60, 0.5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lead);
    auto ask = [&](qint64 sent) {
      const qint64 made = sent + qint64(c.roundTrip * c.madeAt);
      return reading(sent, c.roundTrip, siteSecond(made, c.lead));
    };
    Reading r = ask(c.start);
    Estimate e = siteoffset::firstReading(r, 0);
    int requests = 1;
    while (!siteoffset::precise(e)) {
      const qint64 sent = siteoffset::nextSendMs(e, r.arrivedMs + 3);
      ASSERT_GE(sent, r.arrivedMs + 3);
      ASSERT_LT(sent, r.arrivedMs + 3 + 1000);  // never more than a second's wait
      r = ask(sent);
      ASSERT_EQ(siteoffset::narrow(e, r), Verdict::Narrowed);
      ++requests;
    }
    EXPECT_LE(requests, 11);
    // Never ahead of the site's clock, and behind it by little.
    EXPECT_LE(e.leadMs, c.lead);
    EXPECT_LE(c.lead - e.leadMs, std::max<qint64>(10, c.roundTrip + 2));
    if (c.roundTrip <= 1) EXPECT_LE(requests, 9);
  }
}

TEST(SiteOffset, wholeSecondReadingAndTheLeadTheClockTakesOver) {
  // The first page as always: stamp plus the whole seconds since its arrival, over midnight.
  EXPECT_EQ(
      siteoffset::wholeSecondLead(evening() + 90000, 19 * 3600, evening() + 4500, evening() + 4500),
      90000 + 4000 - 4500);
  EXPECT_EQ(
      siteoffset::wholeSecondLead(midnight() + 90000, 86398, midnight() + 3100, midnight() + 3100),
      90000 + 5000 - 3100);
  // The date is taken while the site's lies less than 3 days after the program's.
  const struct {
    qint64 lead, computer, program, adopted;
  } cases[] = {
      {90400, evening(), evening(), 90400},
      {2 * 86400000 + 17999999, evening(), evening(), 2 * 86400000 + 17999999},  // 07.12. 23:59:59
      {2 * 86400000 + 18000000, evening(), evening(), -19 * 3600000},  // 08.12. 00:00: 00:00
      {-5 * 86400000, evening(), evening(), -5 * 86400000},            // behind: always
      {3 * 86400000, evening(), evening() + 86400000, 3 * 86400000},   // the program is a day on
  };
  for (const auto& c : cases)
    EXPECT_EQ(siteoffset::adoptedLead(c.lead, c.computer, c.program), c.adopted) << c.lead;
}

TEST(SiteOffset, leadTextAndWhenArmingMeasuresAgain) {
  const QStringList texts = {siteoffset::leadText(90400, kDe), siteoffset::leadText(90449, kDe),
                             siteoffset::leadText(-2250, kDe), siteoffset::leadText(-49, kDe),
                             siteoffset::leadText(0, kDe)};
  EXPECT_EQ(texts, QStringList({"+90,4 Sekunden", "+90,4 Sekunden", "-2,3 Sekunden",
                                "+0,0 Sekunden", "+0,0 Sekunden"}));
  const qint64 half = 30 * 60 * 1000;
  EXPECT_TRUE(siteoffset::measurementDue(0, evening()));
  EXPECT_FALSE(siteoffset::measurementDue(evening(), evening() + half - 1));
  EXPECT_TRUE(siteoffset::measurementDue(evening(), evening() + half));
  EXPECT_TRUE(siteoffset::measurementDue(evening(), evening() - half));  // the clock set back
}
