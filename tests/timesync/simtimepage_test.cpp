// The simulator's official time page: German local time, and a layout the program reads.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>

#include "support/simserver.h"
#include "timepage.h"
#include "timesync/timepage.h"

namespace {
const QTimeZone kBerlin("Europe/Berlin");

// The same instant as the time-zone database of the system tells it.
sim::GermanTime reference(qint64 utcMs) {
  const QDateTime t = QDateTime::fromMSecsSinceEpoch(utcMs, kBerlin);
  return {t.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")).toStdString(),
          kBerlin.isDaylightTime(t) ? "MESZ" : "MEZ"};
}
}  // namespace

TEST(SimTimePage, followsGermanSummerTimeAroundEveryChange) {
  ASSERT_TRUE(kBerlin.isValid());
  for (int year = 2024; year <= 2031; ++year) {
    for (int month : {3, 10}) {
      const qint64 monthStart =
          QDateTime(QDate(year, month, 20), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
      // Every 15 minutes through the month's last twelve days, and each second near 01:00 UTC.
      for (qint64 ms = monthStart; ms < monthStart + 12LL * 86400000; ms += 900000) {
        for (qint64 d : {0LL, -1000LL, 1000LL}) {
          const sim::GermanTime got = sim::germanTime(ms + d);
          const sim::GermanTime want = reference(ms + d);
          ASSERT_EQ(got.stamp, want.stamp) << ms + d;
          ASSERT_EQ(got.zone, want.zone) << ms + d;
        }
      }
    }
  }
  EXPECT_EQ(sim::germanTime(0).stamp, "01.01.1970 01:00:00");
}

TEST(SimTimePage, programReadsTheStampInWinterAndSummer) {
  for (const QDateTime& utc : {QDateTime(QDate(2026, 12, 5), QTime(18, 15, 30), Qt::UTC),
                               QDateTime(QDate(2026, 7, 5), QTime(18, 15, 30), Qt::UTC)}) {
    const QString page = QString::fromStdString(sim::timePageHtml(utc.toMSecsSinceEpoch()));
    const QString local = utc.toTimeZone(kBerlin).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    const bool summer = utc.date().month() == 7;
    const QString zone = summer ? QStringLiteral("MESZ") : QStringLiteral("MEZ");
    EXPECT_TRUE(page.contains(QStringLiteral("   ") + local + QChar(' ') + zone + QChar('<')));
    // The first zone word on the page is the one right behind the stamp; in summer the page
    // holds no winter word at all.
    const qsizetype p = timepage::zoneWordPosition(page);
    EXPECT_EQ(page.mid(p - 1, zone.size()), zone);
    if (summer) {
      EXPECT_FALSE(page.contains(QStringLiteral("mez"), Qt::CaseInsensitive));
    }
    const double stamp =
        timepage::readStamp(timepage::stampWindow(page, p), RegionalFormat::german());
    EXPECT_EQ(regional::formatGeneralDate(stamp, RegionalFormat::german()), local);
  }
}

TEST(SimTimePage, servedOnlyForTheTimeShowCommandWithTheOffset) {
  sim::Config config;
  config.timeOffsetSec = 3 * 86400 + 7;
  SimServer server(config);
  ASSERT_TRUE(server.ok());
  httplib::Client client("127.0.0.1", server.port());
  const qint64 before = QDateTime::currentMSecsSinceEpoch() / 1000 * 1000;
  auto res = client.Get("/aw-cgi/eBayISAPI.dll?TimeShow");
  const qint64 after = QDateTime::currentMSecsSinceEpoch();
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  const QString page = QString::fromStdString(res->body);
  const qsizetype p = timepage::zoneWordPosition(page);
  ASSERT_GT(p, 0);
  const QDateTime read = QDateTime::fromString(timepage::stampWindow(page, p).trimmed(),
                                               QStringLiteral("dd.MM.yyyy HH:mm:ss"));
  const QDateTime stamp(read.date(), read.time(), kBerlin);
  EXPECT_GE(stamp.toMSecsSinceEpoch(), before + config.timeOffsetSec * 1000);
  EXPECT_LE(stamp.toMSecsSinceEpoch(), after + config.timeOffsetSec * 1000);
  EXPECT_EQ(client.Get("/aw-cgi/eBayISAPI.dll")->status, 404);
  EXPECT_EQ(client.Get("/aw-cgi/eBayISAPI.dll?MakeBid")->status, 404);
}
