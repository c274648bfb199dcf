// Broken connections of the auction site during a bid: each ends in a clear outcome that the
// window shows in time, the window stays responsive while it waits, and no setting is lost.
#include <QElapsedTimer>

#include "faultfixture.h"
#include "support/rawserver.h"

using namespace faults;

namespace {

struct Snipe {
  QString firstShown;  // what replaced "Gebot wird abgegeben..." first
  qint64 shownMs;      // when, in ms from the auction's end (negative: before it)
  qint64 fromTriggerMs;
  QString afterEnd;  // what the window shows after the end
  bool responsive;   // the window handled events while the bid waited
};

// The countdown's bid `secondsBefore` the end, through the pause to the first evaluation after
// the end, the program's clock running on in real time from the trigger and the site's auction
// ending at the same moment.
Snipe snipe(TestWindow& run, int secondsBefore) {
  AppState& s = run.env.state;
  s.sectobid = QString::number(secondsBefore);
  const qint64 endMs = dateserial::toLinearSeconds(s.endet) * 1000;
  {
    std::lock_guard<std::mutex> lock(run.site().sim().mutex());
    run.site().sim().config().items.front().endMs = sim::nowMs() + secondsBefore * 1000;
  }
  run.env.clock.runWithRealTime();
  run.env.clock.setMs(endMs - secondsBefore * 1000);
  QElapsedTimer sinceTrigger;
  sinceTrigger.start();

  // The bid sequence shows the outcome, then pauses until the end (where the clock jumps), or
  // returns at once when the end has passed.
  Snipe out{QString(), 0, -1, QString(), false};
  const auto note = [&] {
    if (out.fromTriggerMs >= 0) return;
    out.firstShown = run.shown();
    out.shownMs = run.env.clock.localMs() - endMs;
    out.fromTriggerMs = sinceTrigger.elapsed();
  };
  bool handled = false;
  QTimer::singleShot(0, &run.form, [&] { handled = true; });
  run.env.clock.onWait = [&](qint64) { note(); };
  run.form.Update_Label();
  note();
  out.responsive = handled;
  run.env.clock.onWait = nullptr;
  run.form.Update_Label();
  out.afterEnd = run.shown();
  return out;
}

int linesStartingWith(const TestWindow& run, const QString& start) {
  int n = 0;
  for (const QString& m : run.env.logMessages()) n += m.startsWith(start) ? 1 : 0;
  return n;
}

bool noPage(const QByteArray& p) {
  return p == "<none>";
}

int bidsTaken(TestWindow& run) {
  std::lock_guard<std::mutex> lock(run.site().sim().mutex());
  return run.site().sim().config().items.front().bidCount;
}

}  // namespace

// With the program's clock standing (secondsBefore 0, the countdown from 5 s before the end): a
// site that never answers ends the wait at the transfer's own time-out with no data; when the
// confirmation went out before, whether the bid arrived is unknown. Half the step-1 page has a
// form without its end, which the form reader reports; the bid starts once more, meets the same
// and ends in "er" with the half page kept. Half the step-2 page still carries the item title: a
// bid that arrived. Ten characters are no "no data", yet no page either. Random bytes in an
// HTTP reply are a page the program cannot read (kept with a line end); bytes that are no HTTP
// at all (step 0 here) are a failed transfer.
//
// With the clock running on from the trigger: a stalled first step goes out once more after
// 3 s of silence with 7 s left, on a fresh connection, and wins long before the end. Step 2 goes
// out once and never again: silent for 3 s, or trickling a byte a second until 5 s after the
// end, the window says at once that the outcome is unknown (though the site took the bid), and
// so when its connection is reset (the site's request log shows one confirmation). A reset
// first step shows its failure within a second of the trigger; one trickling is given up at the
// auction's end, too late to send it again. Each fault gets its one log line; the report says
// what the window showed.
TEST(Faults, aBrokenConnectionEndsInTimeInAClearOutcome) {
  const QString retried =
      "Bieten Teil 1/2 - 3 Sekunden keine Daten, Verbindung aufgegeben, neuer Versuch auf neuer "
      "Verbindung";
  const auto formPage = [](const QByteArray& p) { return p.contains("name=\"PlaceBid\""); };
  const auto halfForm = [&](const QByteArray& p) { return formPage(p) && !p.contains("</form>"); };
  const auto ten = [](const QByteArray& p) { return p == "Fehler 503\r\n"; };
  const auto garbage = [](const QByteArray& p) { return p.size() == 2048 + 2; };
  using logged::kError2, logged::kNoData1, logged::kNoData2, logged::kNoForm;
  const struct {
    int step;
    const char* fault;
    int secondsBefore;
    qint64 fromTriggerMs, toTriggerMs;  // when the outcome shows (with the clock running)
    QString shown, afterEnd, code, line;
    QStringList boxes = {};
    std::function<bool(const QByteArray&)> page1 = noPage, page2 = noPage;
  } cases[] = {
      // clang-format off
      {1, "hang", 0, 0, 0, kNoData, kNoData, "nd", kNoData1},
      {2, "hang", 0, 0, 0, kUnknown, kUnknown, "nd", kNoData2},
      {1, "cut", 0, 0, 0, kProblem, kProblem, "er", kNoForm, {"readFormData", "readFormData"},
       halfForm},
      {2, "cut", 0, 0, 0, kPlaced, kArrived, "hb", "Bieten Teil 2/2 - Gebot angekommen"},
      {1, "ten", 0, 0, 0, kProblem, kProblem, "er", kNoForm, {}, ten},
      {2, "ten", 0, 0, 0, kProblem, kProblem, "er", kError2, {}, formPage, ten},
      {1, "garbage", 0, 0, 0, kProblem, kProblem, "er", kNoForm, {}, garbage},
      {2, "garbage", 0, 0, 0, kProblem, kProblem, "er", kError2, {}, formPage, garbage},
      {0, "noise", 0, 0, 0, kNoData, kNoData, "nd", kNoData1},
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
    SCOPED_TRACE(testing::Message() << c.step << ":" << c.fault << " " << c.secondsBefore);
    TestWindow run(auctionSite(c.step, c.fault));
    storeOptionsAndArm(run);
    RawServer noise(QByteArray("\x16\x03\x01\x00\xa5\x01\x00\x00\xa1\x03\x03\r\n\r\n\xff\xfe", 16));
    ASSERT_TRUE(noise.listen());
    if (c.step == 0) run.env.state.endpoints.offerHost = noise.baseUrl();
    Snipe s;
    if (c.secondsBefore == 0) {
      if (QString(c.fault) == "hang") run.env.inet1.setTimeoutMs(300);
      s.responsive = run.countdownThroughTheEnd();
      s.firstShown = run.shownInThePause;
      s.afterEnd = run.shown();
    } else {
      s = snipe(run, c.secondsBefore);
      EXPECT_GE(s.fromTriggerMs, c.fromTriggerMs);
      EXPECT_LE(s.fromTriggerMs, c.toTriggerMs);
      const bool reachedStep2 = c.code == "hb" || c.step == 2;
      EXPECT_EQ(run.siteTookTheBid(), reachedStep2);
      EXPECT_EQ(bidsTaken(run), reachedStep2 ? 1 : 0);
      EXPECT_EQ(run.env.logMessages().count(logged::kStep1Started), 1);  // one pass
      if (c.code == "nd") {  // started, the line, no data, done
        EXPECT_EQ(linesStartingWith(run, c.line.left(18)), 4);
      }
    }
    EXPECT_TRUE(s.responsive);
    EXPECT_EQ(s.firstShown, c.shown);
    EXPECT_EQ(s.afterEnd, c.afterEnd);
    EXPECT_EQ(run.reportCode(), c.code);
    if (c.code == "hb") {
      EXPECT_TRUE(run.siteTookTheBid());
    }
    // Sent once, by anything (a held request is logged only when answered).
    EXPECT_LE(run.requestsWith("AcceptBid"), 1);
    EXPECT_EQ(linesStartingWith(run, c.line), 1);
    EXPECT_TRUE(run.logged("Bieten abgeschlossen"));
    EXPECT_EQ(errorProcedures(run), c.boxes);
    EXPECT_TRUE(c.page1(run.page(1)));
    EXPECT_TRUE(c.page2(run.page(2)));
    EXPECT_FALSE(run.env.state.armed);
    run.form.Form_Unload();
    expectNoSettingLost(run);
  }
}
