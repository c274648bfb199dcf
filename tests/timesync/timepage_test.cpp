#include <gtest/gtest.h>

#include <QList>

#include "app/dateserial.h"
#include "app/vberror.h"
#include "timesync/timepage.h"

namespace {
const RegionalFormat kDe = RegionalFormat::german();

double at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return dateserial::fromParts({y, mo, d, h, mi, s});
}

// The stamp the program reads from a page, or the error number of the failure.
QString readPage(const QString& page) {
  const qsizetype p = timepage::zoneWordPosition(page);
  if (p == 0) return QStringLiteral("none");
  try {
    const double stamp = timepage::readStamp(timepage::stampWindow(page, p), kDe);
    return regional::formatGeneralDate(stamp, kDe);
  } catch (const VbError& e) {
    return QStringLiteral("error %1").arg(e.number());
  }
}
}  // namespace

TEST(TimePage, winterWordWinsOverAnEarlierSummerWordAndCaseDoesNotMatter) {
  EXPECT_EQ(
      readPage(QStringLiteral("So:   05.07.2026 20:15:30 MESZ Wi:   05.12.2026 19:15:30 MEZ")),
      QStringLiteral("05.12.2026 19:15:30"));
  EXPECT_EQ(readPage(QStringLiteral("<b>   05.07.2026 20:15:30 mesz</b>")),
            QStringLiteral("05.07.2026 20:15:30"));
  EXPECT_EQ(readPage(QStringLiteral("<b>   05.12.2026 19:15:30 Mez</b>")),
            QStringLiteral("05.12.2026 19:15:30"));
  EXPECT_EQ(readPage(QStringLiteral("<b>05.12.2026 19:15:30 UTC</b>")), QStringLiteral("none"));
  EXPECT_EQ(readPage(QString()), QStringLiteral("none"));
  // "ß" upper-cases to "SS": a search on an upper-cased copy would cut the window one off.
  EXPECT_EQ(readPage(QStringLiteral("Straße   05.12.2026 19:15:30 MEZ")),
            QStringLiteral("05.12.2026 19:15:30"));
}

TEST(TimePage, windowStartingBeforeThePageOrHoldingNoDateAndTimeIsATypeMismatch) {
  // The zone word at position 23: the window would start at 0.
  EXPECT_EQ(readPage(QStringLiteral("  05.12.2026 19:15:30 MEZ")), QStringLiteral("error 13"));
  EXPECT_EQ(readPage(QStringLiteral("05.12.2026 19:15:30 MEZ")), QStringLiteral("error 13"));
  EXPECT_EQ(readPage(QStringLiteral("MEZ")), QStringLiteral("error 13"));
  // Position 24 is the first that works.
  EXPECT_EQ(readPage(QStringLiteral("   05.12.2026 19:15:30 MEZ")),
            QStringLiteral("05.12.2026 19:15:30"));
  EXPECT_EQ(readPage(QStringLiteral("   xx.12.2026 19:15:30 MEZ")), QStringLiteral("error 13"));
  EXPECT_EQ(readPage(QStringLiteral("   31.02.2026 19:15:30 MEZ")), QStringLiteral("error 13"));
  // Only a time, or only a date: neither can set the clock.
  EXPECT_EQ(readPage(QStringLiteral("Zeit:              19:15:30 MEZ")),
            QStringLiteral("error 13"));
  EXPECT_EQ(readPage(QStringLiteral("Datum:     05.12.2026          MEZ")),
            QStringLiteral("error 13"));
}

TEST(TimePage, delayCountsWholeSecondsAndRunsForwardOverMidnight) {
  EXPECT_EQ(timepage::transferDelay(at(1899, 12, 30, 19, 0, 0), at(2026, 12, 5, 19, 0, 4)), 4);
  EXPECT_EQ(timepage::transferDelay(at(1899, 12, 30, 19, 0, 0), at(2026, 12, 5, 19, 0, 0)), 0);
  EXPECT_EQ(timepage::transferDelay(at(1899, 12, 30, 23, 59, 58), at(2026, 12, 6, 0, 0, 3)), 5);
}

TEST(TimePage, dateIsSetUnlessTheSiteIsThreeOrMoreDaysAhead) {
  const double now = at(2026, 12, 5, 19, 0, 0);
  EXPECT_TRUE(timepage::clockTarget(at(2026, 12, 7, 23, 59, 59), 0, now).setDate);  // 2 ahead
  EXPECT_FALSE(timepage::clockTarget(at(2026, 12, 8, 0, 0, 0), 0, now).setDate);    // 3 ahead
  const timepage::ClockTarget behind = timepage::clockTarget(at(2026, 11, 30, 8, 0, 0), 0, now);
  EXPECT_TRUE(behind.setDate);
  EXPECT_EQ(QList<int>({behind.year, behind.month, behind.day, behind.hour}),
            QList<int>({2026, 11, 30, 8}));
}

TEST(TimePage, correctionAcrossMidnightSetsTheNextDay) {
  const timepage::ClockTarget t =
      timepage::clockTarget(at(2026, 12, 5, 23, 59, 58), 4, at(2026, 12, 5, 23, 59, 57));
  EXPECT_EQ(QList<int>({t.year, t.month, t.day, t.hour, t.minute, t.second}),
            QList<int>({2026, 12, 6, 0, 0, 2}));
  EXPECT_TRUE(t.setDate);
  EXPECT_EQ(timepage::logLine(at(2026, 12, 5, 23, 59, 57), t.newTime, false),
            QStringLiteral("Timesync: 23:59:57 -> 00:00:02"));
  EXPECT_EQ(timepage::logLine(at(2026, 12, 5, 9, 5, 7), at(2026, 12, 5, 9, 5, 8), true),
            QStringLiteral("Timesync: 09:05:07 -> 09:05:08 (nicht gestellt)"));
}
