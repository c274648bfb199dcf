#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTimer>

#include "bidding/inet.h"
#include "bidding/transfer.h"
#include "support/simserver.h"
#include "support/testenv.h"
#include "timesync/gettime.h"
#include "timesync/sitehost.h"

namespace {
QString page(const char* stamp, const char* zone = "MEZ") {
  return timePage(QLatin1String(stamp), zone);
}

const QString kTimeRequest = QStringLiteral(
    "/aw-cgi/eBayISAPI.dll?TimeShow Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
const QString kVersionRequest = QStringLiteral("/files/update+ Auktionsuhr+ - 1.3.6 - Linux");

// Clock synchronisation against the scripted site offering version 1.03.0007; the local clock
// stands at 05.12.2026 19:00:00.
struct Site {
  PageHost host;  // stopped after the transfer component has closed its connection
  TestEnv env;

  Site() {
    env.state.endpoints.timeHost = env.state.endpoints.vendorServer = host.baseUrl();
    env.state.VersionText = QStringLiteral("1.3.6");
    env.state.InstallTag = QStringLiteral("Linux");
    host.setPage(QStringLiteral("1.03.0007"), "/files/update+");
  }
  void run(const QString& timePage) {
    host.setPage(timePage);
    get_time(*env.ctx, env.window, nullptr);
  }
};
struct Sync : Site, ::testing::Test {};
}  // namespace

TEST(GetTime, takesTheSiteTimeOverToTheMillisecondOrSaysWhyNotAfterTheVersionCheck) {
  const qint64 kDayMs = 86400000;
  const QString refused =
      kClockRefusedMessage + QStringLiteral(
                                 "\r\nGebotsfalkePlus bietet nach der Uhrzeit des Auktionshauses, "
                                 "die von der Uhr dieses Computers um +90,4 Sekunden abweicht.");
  // The site: its clock (a lead over the computer's), a fixed page, or nobody at the address.
  enum Serves { kClock, kFixed, kNobody };
  const struct {
    const char* what;
    Serves serves;
    qint64 siteLead;   // kClock: the site's clock runs this far ahead of the computer's
    const char* zone;  // kClock: its zone word
    QString page;      // kFixed
    int answers;       // how often the time page answers (-1: always)
    int takesMs;       // from the answer's first byte to its end
    bool refuse;
    short msgonsync;
    QString outcome;
    qint64 adopted;      // the lead the clock took over
    int tolerance;       // in ms
    const char* logged;  // the end of the Timesync line (a pattern), or why there is none
  } cases[] = {
      // clang-format off
      {"2 days ahead, lower-case zone word: clock and date set to the millisecond", kClock,
       2 * kDayMs + 930400, "mesz", {}, -1, 0, false, 1, kClockSetMessage, 2 * kDayMs + 930400, 5,
       " -> 19:15:3\\d \\+173730,4 Sekunden"},
      {"3 days ahead: the time only; no box when switched off", kClock, 3 * kDayMs + 931000, "MEZ",
       {}, -1, 0, false, 0, kClockSetMessage, 931000, 5, " -> 19:15:3\\d \\+931,0 Sekunden"},
      {"no right to set the clock: the program keeps the lead; any other switch shows the box",
       kClock, 90400, "MEZ", {}, -1, 0, true, -1, refused, 90400, 5,
       " -> 19:01:3\\d \\(nicht gestellt\\) \\+90,4 Sekunden"},
      {"only the first page answers: read in whole seconds as always, with the seconds it took",
       kFixed, 0, "MEZ", page("05.12.2026 19:15:30"), 1, 3000, false, 1, kClockSetMessage, 930000,
       0, " -> 19:15:3\\d \\+930,0 Sekunden"},
      {"no right to set a clock that is right: says that it is", kClock, 300, "MEZ", {}, -1, 0,
       true, 1, kClockRightMessage, 300, 5, " -> 19:00:\\d\\d \\(nicht gestellt\\) \\+0,3 Sekunden"},
      // No time: the log says why.
      {"zone word at 21", kFixed, 0, "MEZ", QStringLiteral("05.12.2026 19:15:30 MEZ"), -1, 0, false,
       1, "Typen unverträglich", 0, 0,
       "Timesync nicht möglich: vor der Zeitzone steht keine vollständige Zeitangabe"},
      {"a stamp out of range", kFixed, 0, "MEZ", page("32.12.2026 19:15:30"), -1, 0, false, 1,
       "Typen unverträglich", 0, 0,
       "Timesync nicht möglich: „32.12.2026 19:15:30“ ist kein Datum mit Uhrzeit "
       "(TT.MM.JJJJ hh:mm:ss)"},
      {"no zone word", kFixed, 0, "MEZ", QStringLiteral("keine Zeit"), -1, 0, false, 1,
       "Keine Zeitinformationen erhalten.", 0, 0,
       "Timesync nicht möglich: keine Zeitangabe mit MEZ oder MESZ auf der Seite"},
      {"a status", kFixed, 0, "MEZ", {}, 0, 0, false, 1, "Keine Zeitinformationen erhalten.", 0, 0,
       "Timesync nicht möglich: der Server antwortete mit Status 503"},
      {"no answer", kNobody, 0, "MEZ", {}, -1, 0, false, 1, "Keine Zeitinformationen erhalten.", 0,
       0, "Timesync nicht möglich: keine Antwort vom Server (Verbindung abgelehnt)"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Site s;
    s.env.state.msgonsync = c.msgonsync;
    s.env.systemClock.refuse = c.refuse;
    s.host.timePageAnswers = c.answers;
    if (c.serves == kClock) s.host.runClock(s.env.clock, c.siteLead, c.zone);
    if (c.serves == kFixed) s.host.setPage(c.page);
    if (c.serves == kNobody) s.env.state.endpoints.timeHost = QStringLiteral("http://127.0.0.1:1");
    // An earlier page still in ResponseText never counts.
    s.env.state.ResponseText = page("01.12.2026 11:11:11");
    QObject::connect(&s.env.inet1, &Inet::StateChanged, &s.env.inet1, [&](int state) {
      if (state == Inet::kReceivingResponse) s.env.clock.advanceMs(c.takesMs);
    });
    QString updateAtBox;  // the box comes after the version check has saved its finding
    s.env.dialogs.onMessage = [&](const QString&) { updateAtBox = s.env.setting("Update"); };
    const qint64 computerBefore = s.env.clock.computerMs();
    get_time(*s.env.ctx, s.env.window, nullptr);

    EXPECT_EQ(s.env.state.SyncMessage, c.outcome);
    EXPECT_EQ(s.env.dialogs.messages, c.msgonsync ? QStringList{c.outcome} : QStringList());
    EXPECT_EQ(updateAtBox, c.msgonsync ? QStringLiteral("1.03.0007") : QString());
    EXPECT_EQ(s.env.dialogs.errors, QStringList());
    EXPECT_EQ(s.env.window.updateMarkShown, 1);
    const QStringList requests = s.host.requests();
    ASSERT_FALSE(requests.isEmpty());
    EXPECT_EQ(requests.last(), kVersionRequest);
    // The page and every later reading of it, asked for alike; about eight readings.
    EXPECT_EQ(requests.mid(0, requests.size() - 1), QStringList(requests.size() - 1, kTimeRequest));
    const bool noTime = QString::fromUtf8(c.logged).startsWith("Timesync nicht möglich");
    EXPECT_LE(requests.size(), noTime ? 2 : 12);

    const QStringList log = s.env.logMessages();
    ASSERT_EQ(log.size(), 1);
    if (noTime) {
      EXPECT_EQ(log[0], QString::fromUtf8(c.logged));
      EXPECT_TRUE(s.env.systemClock.shifts.isEmpty());
      continue;
    }
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Timesync: 19:0\\d:\\d\\d") +
                                   QString::fromUtf8(c.logged) + QChar('$'))
                    .match(log[0])
                    .hasMatch())
        << log[0].toStdString();
    ASSERT_EQ(s.env.systemClock.shifts.size(), 1);
    const qint64 lead = s.env.systemClock.shifts[0];
    // Never ahead of the site's clock, and behind it by a few milliseconds at most.
    EXPECT_LE(lead, c.adopted);
    EXPECT_LE(c.adopted - lead, c.tolerance) << lead;
    // Set: the computer's clock moved, no lead is kept. Refused: the other way round.
    EXPECT_EQ(s.env.clock.siteLeadMs(), c.refuse ? lead : 0);
    const qint64 moved = s.env.clock.computerMs() - computerBefore;  // waits and shifts
    // (A lead under half a second hides among the waits.)
    if (qAbs(lead) >= kClockRightWithinMs) {
      EXPECT_EQ(moved >= lead, !c.refuse) << moved;
    }
  }
}

TEST_F(Sync, bidRunningInsideTheWaitNeverSetsTheClockFromItsReply) {
  // The countdown fires while the time page is on its way: the bid cancels Inet1 and runs its
  // own exchange, whose reply names the auction's end in MEZ.
  host.setPage(page("05.12.2026 20:00:00"), "/bid");
  bool bid = false;
  QObject::connect(&env.inet1, &Inet::StateChanged, &env.inet1, [&](int state) {
    if (state != Inet::kReceivingResponse || bid) return;
    bid = true;
    QTimer::singleShot(0, &env.inet1, [&] {
      env.inet1.Cancel();
      runRequest(*env.ctx, env.inet1, host.baseUrl() + QStringLiteral("/bid"), QString(), QString(),
                 QString());
    });
  });
  host.delayMs = 300;
  run(page("05.12.2026 19:15:30"));
  ASSERT_TRUE(bid);
  EXPECT_TRUE(env.systemClock.shifts.isEmpty());
  EXPECT_EQ(env.state.SyncMessage, QStringLiteral("Keine Zeitinformationen erhalten."));
}

TEST_F(Sync, secondStartWhileInet1IsBusyIsLeftToTheRunningOne) {
  host.setPage(page("05.12.2026 19:15:30"));
  host.delayMs = 200;
  env.inet1.Execute(host.baseUrl() + QStringLiteral("/aw-cgi/eBayISAPI.dll?TimeShow"));
  get_time(*env.ctx, env.window, nullptr);
  env.inet1.waitWhileExecuting();
  EXPECT_TRUE(env.dialogs.errors.isEmpty());
  EXPECT_EQ(host.requests().size(), 1);
}
