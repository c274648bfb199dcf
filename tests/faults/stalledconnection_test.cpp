// Connections that stall, trickle or reset at the trigger: the bid's transfers are bounded by
// the auction's end, a stalled first step goes out once more on a fresh connection, and the
// outcome shows when it is known. The program's clock runs on in real time from the trigger,
// the site's auction ends at the same moment.
#include <QElapsedTimer>

#include "bidding/printers.h"
#include "faultfixture.h"

using namespace faults;

namespace {

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

// A stalled first step goes out once more after 3 s of silence with 7 s left, on a fresh
// connection, and wins long before the end. Step 2 goes out once and never again: silent for
// 3 s, or trickling a byte a second until 5 s after the end, the window says at once that the
// outcome is unknown (though the site took the bid), and so when its connection is reset (the
// site's request log shows one confirmation). A reset first step shows its failure within a
// second of the trigger; one trickling is given up at the auction's end, too late to
// send it again. Each fault gets its one log line; the report says what the window showed.
TEST(StalledConnection, aStalledOrResetStepEndsInTimeWithItsOutcome) {
  const QString retried =
      "Bieten Teil 1/2 - 3 Sekunden keine Daten, Verbindung aufgegeben, neuer Versuch auf neuer "
      "Verbindung";
  const struct {
    int step;
    const char* fault;
    int secondsBefore;
    qint64 fromTriggerMs, toTriggerMs;  // when the outcome shows
    QString shown, afterEnd, code, line;
  } cases[] = {
      // clang-format off
      {1, "hang-once", 10, 2900, 5000, kPlaced, kHighBidder, "hb", retried},
      {2, "hang", 10, 2900, 5000, kUnknown, kUnknown, "nd",
       "Bieten Teil 2/2 - 3 Sekunden keine Daten, Verbindung aufgegeben, Ausgang unbekannt"},
      {2, "trickle", 1, 5800, 6500, kUnknown, kUnknown, "nd",
       "Bieten Teil 2/2 - 5 Sekunden nach Auktionsende keine Antwort, Verbindung aufgegeben, "
       "Ausgang unbekannt"},
      {1, "reset", 10, 0, 1000, kNoData, kNoData, "nd",
       "Bieten Teil 1/2 - Verbindung fehlgeschlagen: Verbindung von der Gegenstelle getrennt"},
      {2, "reset", 10, 0, 1000, kUnknown, kUnknown, "nd",
       "Bieten Teil 2/2 - Verbindung fehlgeschlagen: Verbindung von der Gegenstelle getrennt, "
       "Ausgang unbekannt"},
      {1, "trickle", 3, 2900, 4000, kNoData, kNoData, "nd",
       "Bieten Teil 1/2 - Auktionsende erreicht, Verbindung aufgegeben"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.step) + ":" + c.fault);
    FaultRun run(site(c.step, c.fault));
    const Snipe s = snipe(run, c.secondsBefore);
    EXPECT_EQ(s.firstShown, c.shown);
    EXPECT_GE(s.fromTriggerMs, c.fromTriggerMs);
    EXPECT_LE(s.fromTriggerMs, c.toTriggerMs);
    EXPECT_EQ(s.afterEnd, c.afterEnd);
    EXPECT_EQ(run.reportCode(), c.code);
    const bool reachedStep2 = c.code == "hb" || c.step == 2;
    EXPECT_EQ(run.siteTookTheBid(), reachedStep2);
    EXPECT_EQ(bidsTaken(run), reachedStep2 ? 1 : 0);
    // Sent once, by anything (a held request is logged only when answered).
    EXPECT_LE(run.requestsWith("AcceptBid"), 1);
    EXPECT_EQ(linesStartingWith(run, c.line), 1);
    EXPECT_EQ(run.env.logMessages().count("Bieten Teil 1/2 - gestartet"), 1);  // one pass
    if (c.code == "nd")  // started, the line, no data, done
      EXPECT_EQ(linesStartingWith(run, c.line.left(18)), 4);
  }
}
