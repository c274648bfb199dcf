#include "sniper/countdowntext.h"
#include "support/testwindow.h"

TEST(CountdownText, piecesForEveryRange) {
  const std::pair<qint64, const char*> cases[] = {{2 * 86400 + 3 * 3600 + 59, "2 Tage\n3 Stunden"},
                                                  {86400, "1 Tag\n0 Stunden"},
                                                  {3600 + 23 * 60 + 20, "1 Stunde\n23 Minuten"},
                                                  {3600, "1 Stunde\n0 Minuten"},
                                                  {5 * 60 + 1, "5 Minuten\n1 Sekunden"},
                                                  {90, "1 Minute\n30 Sekunden"},
                                                  {60, "1 Minute\n0 Sekunden"},
                                                  {7, "7"},
                                                  {1, "1"}};
  for (const auto& [remaining, text] : cases) EXPECT_EQ(countdownText(remaining), text) << text;
  EXPECT_EQ(countdownCase(0), CountdownCase::Over);
  EXPECT_EQ(countdownCase(-5), CountdownCase::Over);
}

TEST_F(WindowTest, farAndNearRangesSetTickRateAndRewriteOnlyOnChange) {
  evaluateAt(2 * 86400 + 3 * 3600);
  EXPECT_EQ(form.labelZeitCaption(), "2 Tage\n3 Stunden");
  EXPECT_EQ(ui.Timer1->interval(), 500);
  EXPECT_EQ(zeitFontSize(), 12);

  evaluateAt(90, 599);  // the clock's fraction of a second is cut
  EXPECT_EQ(ui.Timer1->interval(), 200);
  EXPECT_EQ(ui.Label2->text(), "05.12.2026 19:58:30");
  // Same text on the next tick: Label2 keeps the time of the last change.
  env.clock.advanceMs(400);
  form.Update_Label();
  EXPECT_EQ(ui.Label2->text(), "05.12.2026 19:58:30");
}

TEST_F(WindowTest, lastMinuteGrowsRedWhileDisarmedAndStaysBlackWhileArmed) {
  evaluateAt(59);
  EXPECT_EQ(zeitFontSize(), 13);
  EXPECT_EQ(zeitColor(), QColor(0, 0, 0));
  evaluateAt(1);
  EXPECT_EQ(zeitFontSize(), 71);
  EXPECT_EQ(zeitColor(), QColor(232, 0, 0));

  armWith("5");
  evaluateAt(30);
  EXPECT_EQ(zeitFontSize(), 13);
  EXPECT_EQ(zeitColor(), QColor(0, 0, 0));
}

TEST_F(WindowTest, minimisedWindowShowsTheSecondsInItsCaptionAndFlashes) {
  form.showMinimized();
  evaluateAt(12);
  EXPECT_EQ(form.caption(), " >>12<<");
  EXPECT_EQ(env.shell.flashes, 1);
  form.showNormal();
  form.Update_Label();
  EXPECT_EQ(form.caption(), "Nokia 3310 Handy");
}

TEST_F(WindowTest, theEndShowsTheResultOnceThenAuktionBeendetAndStopsTheTimer) {
  env.state.bidResultText = shown::kHighBidder;
  evaluateAt(0);
  EXPECT_EQ(shown(), shown::kHighBidder);
  EXPECT_EQ(zeitFontSize(), 11);
  EXPECT_FALSE(form.timer1Enabled());
  EXPECT_FALSE(ui.Txt_maxbid->isVisible());
  EXPECT_FALSE(ui.Command1->isVisible());

  form.Update_Label();
  EXPECT_EQ(form.labelZeitCaption(), "Auktion\nbeendet");
  EXPECT_EQ(zeitFontSize(), 16);
}

// Without an item the timer stops; with a setting that is no number every evaluation ends in the
// error box. Either way the countdown keeps what it showed.
TEST_F(WindowTest, noItemOrASettingThatIsNoNumberLeavesTheCountdownAsItWas) {
  ui.LabelZeit->setText("vorher");
  env.state.sectobid = "zehn";
  evaluateAt(100);
  EXPECT_EQ(env.dialogs.errors.size(), 1);
  EXPECT_TRUE(env.dialogs.errors.value(0).endsWith(
      "Typen unverträglich (Einstellung 'sectobid')\r\nProgrammteil: Update_Label"));
  env.state.sectobid = "10";
  env.state.endet = 0;
  form.Update_Label();
  EXPECT_FALSE(form.timer1Enabled());
  EXPECT_EQ(form.labelZeitCaption(), "vorher");
}

// The bid starts at the first evaluation at which the remaining whole seconds reach the setting;
// armed later than that, at once. (Arming takes whole seconds only.)
TEST(BidTrigger, bidsAtTheFirstEvaluationAtTheSetting) {
  const struct {
    const char* setting;
    int before, at;  // remaining seconds of an evaluation that must not bid (-1: none), that bids
  } cases[] = {{"5", 6, 5}, {"30", 31, 30}, {"5", -1, 3}, {"1", 2, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.setting << " at " << c.at);
    TestWindow w;
    w.env.state.sectobid = c.setting;
    w.armWith("1");
    if (c.before >= 0) {
      w.evaluateAt(c.before);
      EXPECT_EQ(w.form.labelZeitCaption(), QString::number(c.before));
      EXPECT_FALSE(w.bidStarted());
    }
    w.evaluateAt(c.at);
    const QStringList log = w.env.logMessages();
    EXPECT_EQ(log.value(log.indexOf(QString("Restlaufzeit %1 Sekunden").arg(c.at)) + 1),
              "Bieten initialisiert");
  }
}

// The tones (and their log line) come only with a warnton of exactly 1. The bid finds nobody
// listening: it says so at once, in place of "Gebot wurde abgegeben.", and keeps it.
TEST(BidTrigger, theSequenceLogsSoundsDisarmsAndPausesUntilTheEnd) {
  for (const int warnton : {1, -1}) {
    SCOPED_TRACE(warnton);
    TestWindow w;
    w.env.state.warnton = warnton;
    w.armWith("12,5");
    w.evaluateAt(10, 2);
    QStringList expected = {"Restlaufzeit 10 Sekunden",
                            "Bieten initialisiert",
                            logged::kStep1Started,
                            logged::kRefused1,
                            logged::kNoData1,
                            logged::kStep1Done,
                            "Warnton",
                            "GebotsfalkePlus entschärft",
                            "Bieten abgeschlossen"};
    if (warnton != 1) expected.removeAll("Warnton");
    const QStringList log = w.env.logMessages();
    EXPECT_EQ(log.mid(log.indexOf("Restlaufzeit 10 Sekunden")), expected);
    EXPECT_FALSE(w.env.state.armed);
    EXPECT_EQ(w.shown(), shown::kNoData);
    EXPECT_EQ(w.zeitFontSize(), 11);
    // The amount bid stays to be seen.
    EXPECT_EQ(control<QLabel>(w.form, "Label1")->toolTip(), "Artikel 1234567890\nIhr Gebot: 12,50");
    EXPECT_EQ(w.env.clock.wholeSeconds(), dateserial::toLinearSeconds(w.env.state.endet));
    const QList<QPair<int, int>> tones = {{900, 80}, {950, 80}, {900, 80}, {950, 80}, {900, 700}};
    EXPECT_EQ(w.env.sound.tones, warnton == 1 ? tones : decltype(tones)());
    w.form.Update_Label();  // after the end
    EXPECT_EQ(w.shown(), shown::kNoData);
  }
}

// Near the trigger one more evaluation is set just before the second boundary and sleeps the
// rest, so the bid starts at the boundary itself; one that comes well before it (a clock set
// meanwhile) sets itself again instead of waiting for the next tick.
TEST_F(WindowTest, nearTheTriggerAnEvaluationIsSetForTheSecondBoundary) {
  env.state.sectobid = "5";
  armWith("1");
  QTimer* trigger = ui.TriggerTimer;
  evaluateAt(30);
  EXPECT_FALSE(trigger->isActive());
  evaluateAt(6, 400);  // the trigger second starts in 600 ms
  ASSERT_TRUE(trigger->isActive());
  EXPECT_EQ(trigger->interval(), 596);  // set 4 ms early

  trigger->stop();
  secondsBeforeEnd(6, 990);
  QMetaObject::invokeMethod(trigger, "timeout", Qt::DirectConnection);
  EXPECT_FALSE(bidStarted());
  ASSERT_TRUE(trigger->isActive());
  EXPECT_LE(trigger->remainingTime(), 8);

  trigger->stop();
  secondsBeforeEnd(6, 998);
  QMetaObject::invokeMethod(trigger, "timeout", Qt::DirectConnection);
  EXPECT_TRUE(logged("Restlaufzeit 5 Sekunden"));
}

// The trigger passed while the program could not run, and the auction is over: nothing is sent.
TEST_F(WindowTest, aTriggerPassedAfterTheEndSendsNothingAndSaysTheBidWasMissed) {
  armWith("5");
  evaluateAt(0);  // the end itself is too late
  EXPECT_FALSE(bidStarted());
  EXPECT_FALSE(env.state.armed);
  EXPECT_EQ(shown(), shown::kMissed);
}
