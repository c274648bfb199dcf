#include "sniperfixture.h"

// The bid starts at the first evaluation at which the remaining whole seconds reach the setting;
// armed later than that, at once. (Arming takes whole seconds only.)
TEST(BidTrigger, bidsAtTheFirstEvaluationAtTheSetting) {
  const struct {
    const char* setting;
    int before, at;  // remaining seconds of an evaluation that must not bid (-1: none), that bids
  } cases[] = {{"5", 6, 5}, {"30", 31, 30}, {"5", -1, 3}, {"1", 2, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.setting << " at " << c.at);
    SniperWindow w;
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
    SniperWindow w;
    w.env.state.warnton = warnton;
    w.armWith("12,5");
    w.evaluateAt(10, 2);
    QStringList expected = {
        "Restlaufzeit 10 Sekunden",
        "Bieten initialisiert",
        "Bieten Teil 1/2 - gestartet",
        "Bieten Teil 1/2 - Verbindung fehlgeschlagen: Verbindung abgelehnt",
        "Bieten Teil 1/2 - Keine Daten vom eBayserver. Internetverbindung prüfen.",
        "Bieten Teil 1/2 - beendet",
        "Warnton",
        "GebotsfalkePlus entschärft",
        "Bieten abgeschlossen"};
    if (warnton != 1) expected.removeAll("Warnton");
    const QStringList log = w.env.logMessages();
    EXPECT_EQ(log.mid(log.indexOf("Restlaufzeit 10 Sekunden")), expected);
    EXPECT_FALSE(w.env.state.armed);
    const QString noData = "Keine Daten vom\neBay-Server erhalten.\nInternetverbindung prüfen.";
    EXPECT_EQ(w.form.labelZeitCaption(), noData);
    EXPECT_EQ(w.zeitFontSize(), 11);
    // The amount bid stays to be seen.
    EXPECT_EQ(control<QLabel>(w.form, "Label1")->toolTip(), "Artikel 1234567890\nIhr Gebot: 12,50");
    EXPECT_EQ(w.env.clock.wholeSeconds(), dateserial::toLinearSeconds(w.env.state.endet));
    const QList<QPair<int, int>> tones = {{900, 80}, {950, 80}, {900, 80}, {950, 80}, {900, 700}};
    EXPECT_EQ(w.env.sound.tones, warnton == 1 ? tones : decltype(tones)());
    w.form.Update_Label();  // after the end
    EXPECT_EQ(w.form.labelZeitCaption(), noData);
  }
}

// Near the trigger one more evaluation is set just before the second boundary and sleeps the
// rest, so the bid starts at the boundary itself; one that comes well before it (a clock set
// meanwhile) sets itself again instead of waiting for the next tick.
TEST_F(SniperTest, nearTheTriggerAnEvaluationIsSetForTheSecondBoundary) {
  env.state.sectobid = "5";
  armWith("1");
  QTimer* trigger = ui.TriggerTimer;
  evaluateAt(30);
  EXPECT_FALSE(trigger->isActive());
  evaluateAt(6, 400);  // the trigger second starts in 600 ms
  ASSERT_TRUE(trigger->isActive());
  EXPECT_NEAR(trigger->remainingTime(), 596, 20);

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
TEST_F(SniperTest, aTriggerPassedAfterTheEndSendsNothingAndSaysTheBidWasMissed) {
  armWith("5");
  evaluateAt(-15);
  EXPECT_FALSE(bidStarted());
  EXPECT_FALSE(env.state.armed);
  EXPECT_EQ(form.labelZeitCaption(), "Gebot verpasst:\nAuktion war\nschon beendet.");
}
