#include <gtest/gtest.h>

#include <QDateTime>
#include <QList>
#include <QTimeZone>

#include "app/dateserial.h"
#include "app/vberror.h"
#include "timepage.h"  // the simulator's
#include "timesync/timepage.h"

namespace {
const RegionalFormat kDe = RegionalFormat::german();

double at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return dateserial::fromParts({y, mo, d, h, mi, s});
}

// The stamp the program reads from a page in 2031, or the error number of the failure.
QString readPage(const QString& page) {
  const qsizetype p = timepage::zoneWordPosition(page);
  if (p == 0) return QStringLiteral("none");
  try {
    const double stamp =
        timepage::readStamp(timepage::stampWindow(page, p), kDe, at(2031, 1, 2, 10, 0, 0));
    return regional::formatGeneralDate(stamp, kDe);
  } catch (const VbError& e) {
    return QStringLiteral("error %1").arg(e.number());
  }
}
}  // namespace

TEST(TimePage, stampIsReadInFrontOfTheFirstWinterWordElseTheSummerWord) {
  const QString error = QStringLiteral("error 13");
  const QString stamp = QStringLiteral("05.12.2026 19:15:30");
  auto simPage = [](int month) {  // the simulator's page for 18:15:30 UTC on the 5th
    const QDateTime utc(QDate(2026, month, 5), QTime(18, 15, 30), Qt::UTC);
    return QString::fromStdString(sim::timePageHtml(utc.toMSecsSinceEpoch()));
  };
  const struct {
    QString page, read;
  } cases[] = {
      {"So:   05.07.2026 20:15:30 MESZ Wi:   05.12.2026 19:15:30 MEZ", stamp},
      {"<b>   05.07.2026 20:15:30 mesz</b>", "05.07.2026 20:15:30"},
      {"<b>   05.12.2026 19:15:30 Mez</b>", stamp},
      {simPage(12), stamp},
      {simPage(7), "05.07.2026 20:15:30"},
      {"<b>05.12.2026 19:15:30 UTC</b>", "none"},
      {"", "none"},
      // "ß" upper-cases to "SS": a search on an upper-cased copy would cut the window one off.
      {"Straße   05.12.2026 19:15:30 MEZ", stamp},
      // Position 24 is the first that works; at 23 or less the window would start before the page.
      {"   05.12.2026 19:15:30 MEZ", stamp},
      {"  05.12.2026 19:15:30 MEZ", error},
      // A two-digit year is the one nearest to today.
      {"Zeit:     05.12.30 19:15:30 MEZ", "05.12.2030 19:15:30"},
      {"MEZ", error},
      {"   xx.12.2026 19:15:30 MEZ", error},
      {"   31.02.2026 19:15:30 MEZ", error},
      // Only a time, or only a date: neither can set the clock.
      {"Zeit:              19:15:30 MEZ", error},
      {"Datum:     05.12.2026          MEZ", error},
  };
  for (const auto& c : cases) EXPECT_EQ(readPage(c.page), c.read) << c.page.toStdString();
}
