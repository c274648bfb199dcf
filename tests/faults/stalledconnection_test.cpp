// Connections that stall, trickle or reset at the trigger: the bid's transfers are bounded by
// the auction's end, a stalled first step goes out once more on a fresh connection, and the
// outcome shows when it is known. The program's clock runs on in real time from the trigger,
// the site's auction ends at the same moment.
#include <QElapsedTimer>

#include "bidding/printers.h"
#include "faultfixture.h"

using namespace faults;

namespace {

const QString kPlaced = "Gebot wurde\r\nabgegeben.";

struct Snipe {
  QString firstShown;  // what replaced "Gebot wird abgegeben..." first
  qint64 shownMs;      // when, in ms from the auction's end (negative: before it)
  qint64 fromTriggerMs;
  QString afterEnd;  // what the window shows after the end
};

// The countdown's bid `secondsBefore` the end, through the pause to the first evaluation after
// the end.
Snipe snipe(FaultRun& run, int secondsBefore) {
  AppState& s = run.env.state;
  s.sectobid = QString::number(secondsBefore);
  const qint64 endMs = dateserial::toLinearSeconds(s.endet) * 1000;
  {
    std::lock_guard<std::mutex> lock(run.server.sim().mutex());
    run.server.sim().config().items.front().endMs = sim::nowMs() + secondsBefore * 1000;
  }
  run.env.clock.runWithRealTime();
  run.env.clock.setMs(endMs - secondsBefore * 1000);
  QElapsedTimer sinceTrigger;
  sinceTrigger.start();

  // The bid sequence shows the outcome, then pauses until the end (where the clock jumps), or
  // returns at once when the end has passed.
  Snipe out{QString(), 0, -1, QString()};
  const auto note = [&] {
    if (out.fromTriggerMs >= 0) return;
    out.firstShown = run.shown();
    out.shownMs = run.env.clock.localMs() - endMs;
    out.fromTriggerMs = sinceTrigger.elapsed();
  };
  run.env.clock.onWait = [&](qint64) { note(); };
  run.form.Update_Label();
  note();
  run.env.clock.onWait = nullptr;
  run.form.Update_Label();
  out.afterEnd = run.shown();
  return out;
}

int linesStartingWith(const FaultRun& run, const QString& start) {
  int n = 0;
  for (const QString& m : run.env.logMessages()) n += m.startsWith(start) ? 1 : 0;
  return n;
}

int bidsTaken(FaultRun& run) {
  std::lock_guard<std::mutex> lock(run.server.sim().mutex());
  return run.server.sim().config().items.front().bidCount;
}

}  // namespace

// The first connection of step 1 never answers: after 3 s of silence, with 7 s left, the bid
// goes out once more on a fresh connection and wins long before the end.
TEST(StalledConnection, aStalledFirstStepGoesOutAgainAndTheBidWinsBeforeTheEnd) {
  FaultRun run(site(1, "hang-once"));
  const Snipe s = snipe(run, 10);
  EXPECT_EQ(s.firstShown, kPlaced);
  EXPECT_GE(s.fromTriggerMs, 2900);
  EXPECT_LT(s.shownMs, -5000);
  EXPECT_EQ(s.afterEnd, kHighBidder);
  EXPECT_TRUE(run.siteTookTheBid());
  EXPECT_EQ(run.reportCode(), "hb");
  EXPECT_EQ(linesStartingWith(run, "Bieten Teil 1/2 - 3 Sekunden keine Daten"), 1);
  EXPECT_TRUE(
      run.logContains("Bieten Teil 1/2 - 3 Sekunden keine Daten, Verbindung aufgegeben, "
                      "neuer Versuch auf neuer Verbindung"));
  EXPECT_EQ(run.env.logMessages().count("Bieten Teil 1/2 - gestartet"), 1);  // one pass
}

// Step 2 goes out once and never again. When it stays silent for 3 s, or trickles a byte a
// second until 5 s after the end, the window says at once that the outcome is unknown (though
// the site took the bid) and keeps saying so after the end; the report says no data.
TEST(StalledConnection, aStalledSecondStepEndsAtTheLatestFiveSecondsAfterTheEndAsUnknown) {
  const struct {
    const char* fault;
    int secondsBefore;
    qint64 fromMs, toMs;  // when the outcome shows, from the end
    QString line;
  } cases[] = {
      {"hang", 10, -7100, -5000,
       "Bieten Teil 2/2 - 3 Sekunden keine Daten, Verbindung aufgegeben, Ausgang unbekannt"},
      {"trickle", 1, 4800, 5500,
       "Bieten Teil 2/2 - 5 Sekunden nach Auktionsende keine Antwort, Verbindung aufgegeben, "
       "Ausgang unbekannt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    FaultRun run(site(2, c.fault));
    const Snipe s = snipe(run, c.secondsBefore);
    EXPECT_EQ(s.firstShown, kUnknown);
    EXPECT_GE(s.shownMs, c.fromMs);
    EXPECT_LE(s.shownMs, c.toMs);
    EXPECT_EQ(s.afterEnd, kUnknown);
    EXPECT_EQ(run.reportCode(), "nd");
    EXPECT_TRUE(run.siteTookTheBid());
    EXPECT_EQ(bidsTaken(run), 1);
    EXPECT_EQ(linesStartingWith(run, "Bieten Teil 2/2 - "), 4);  // started, the line, nd, done
    EXPECT_TRUE(run.logContains(c.line));
  }
}

// A reset connection shows its failure within a second of the trigger; step 1 trickling is
// given up at the auction's end, too late to send it again.
TEST(StalledConnection, aFailedOrOverlongFirstStepShowsNoDataWhenItEnds) {
  const struct {
    const char* fault;
    int secondsBefore;
    qint64 fromTriggerMs, toTriggerMs;
    QString line;
  } cases[] = {
      {"reset", 10, 0, 1000,
       "Bieten Teil 1/2 - Verbindung fehlgeschlagen: Verbindung von der Gegenstelle getrennt"},
      {"trickle", 3, 2900, 4000, "Bieten Teil 1/2 - Auktionsende erreicht, Verbindung aufgegeben"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    FaultRun run(site(1, c.fault));
    const Snipe s = snipe(run, c.secondsBefore);
    EXPECT_EQ(s.firstShown, kNoData);
    EXPECT_GE(s.fromTriggerMs, c.fromTriggerMs);
    EXPECT_LE(s.fromTriggerMs, c.toTriggerMs);
    EXPECT_EQ(s.afterEnd, kNoData);
    EXPECT_EQ(run.reportCode(), "nd");
    EXPECT_EQ(linesStartingWith(run, "Bieten Teil 1/2 - "), 4);  // started, the line, nd, done
    EXPECT_TRUE(run.logContains(c.line));
  }
}
