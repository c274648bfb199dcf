#include "sniper/countdowntext.h"
#include "sniperfixture.h"

TEST(CountdownText, piecesForEveryRange) {
  const struct {
    qint64 remaining;
    const char* text;
  } cases[] = {
      {2 * 86400 + 3 * 3600 + 59, "2 Tage\n3 Stunden"},
      {86400, "1 Tag\n0 Stunden"},
      {3600 + 23 * 60 + 20, "1 Stunde\n23 Minuten"},
      {3600, "1 Stunde\n0 Minuten"},
      {5 * 60 + 1, "5 Minuten\n1 Sekunden"},
      {90, "1 Minute\n30 Sekunden"},
      {60, "1 Minute\n0 Sekunden"},
      {7, "7"},
      {1, "1"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(countdownText(c.remaining), QString::fromUtf8(c.text)) << c.remaining;
  EXPECT_EQ(countdownCase(0), CountdownCase::Over);
  EXPECT_EQ(countdownCase(-5), CountdownCase::Over);
}

TEST_F(SniperTest, farAndNearRangesSetTickRateAndRewriteOnlyOnChange) {
  secondsBeforeEnd(2 * 86400 + 3 * 3600);
  form.Update_Label();
  EXPECT_EQ(form.labelZeitCaption(), QStringLiteral("2 Tage\n3 Stunden"));
  EXPECT_EQ(form.Timer1->interval(), 500);
  EXPECT_TRUE(form.timer1Enabled());
  EXPECT_EQ(zeitFontSize(), 12);

  secondsBeforeEnd(90);
  form.Update_Label();
  EXPECT_EQ(form.labelZeitCaption(), QStringLiteral("1 Minute\n30 Sekunden"));
  EXPECT_EQ(form.Timer1->interval(), 200);
  EXPECT_EQ(form.Label2->text(), QStringLiteral("05.12.2026 19:58:30"));
  // Same text on the next tick: Label2 keeps the time of the last change.
  env.clock.advanceMs(400);
  form.Update_Label();
  EXPECT_EQ(form.Label2->text(), QStringLiteral("05.12.2026 19:58:30"));
  EXPECT_TRUE(env.dialogs.errors.isEmpty());
}

TEST_F(SniperTest, lastMinuteGrowsRedWhileDisarmedAndStaysBlackWhileArmed) {
  secondsBeforeEnd(59);
  form.Update_Label();
  EXPECT_EQ(form.labelZeitCaption(), QStringLiteral("59"));
  EXPECT_EQ(zeitFontSize(), 13);
  EXPECT_EQ(zeitColor(), QColor(0, 0, 0));
  EXPECT_EQ(form.caption(), QStringLiteral("Nokia 3310 Handy"));
  secondsBeforeEnd(1);
  form.Update_Label();
  EXPECT_EQ(zeitFontSize(), 71);
  EXPECT_EQ(zeitColor(), QColor(232, 0, 0));

  env.state.sectobid = QStringLiteral("0");
  armWith(QStringLiteral("5"));
  ASSERT_TRUE(env.state.armed);
  secondsBeforeEnd(30);
  form.Update_Label();
  EXPECT_EQ(zeitFontSize(), 13);
  EXPECT_EQ(zeitColor(), QColor(0, 0, 0));
}

TEST_F(SniperTest, minimisedWindowShowsTheSecondsInItsCaptionAndFlashes) {
  form.showMinimized();
  secondsBeforeEnd(12);
  form.Update_Label();
  EXPECT_EQ(form.caption(), QStringLiteral(" >>12<<"));
  EXPECT_EQ(env.shell.flashes, 1);
  form.showNormal();
  form.Update_Label();
  EXPECT_EQ(form.caption(), QStringLiteral("Nokia 3310 Handy"));
}

TEST_F(SniperTest, theEndShowsTheResultOnceThenAuktionBeendetAndStopsTheTimer) {
  env.state.bidResultText = QStringLiteral("Sie haben\r\ndas höchste\r\nGebot abgegeben.");
  secondsBeforeEnd(0);
  form.Update_Label();
  EXPECT_EQ(form.labelZeitCaption(), QStringLiteral("Sie haben\ndas höchste\nGebot abgegeben."));
  EXPECT_EQ(zeitFontSize(), 11);
  EXPECT_TRUE(env.state.bidResultText.isEmpty());
  EXPECT_FALSE(form.timer1Enabled());
  EXPECT_FALSE(form.Txt_maxbid->isVisible());
  EXPECT_FALSE(form.Command1->isVisible());
  EXPECT_EQ(form.Command1->text(), QStringLiteral("bieten"));
  EXPECT_EQ(env.state.clockLabelOffset, 200);

  form.Update_Label();
  EXPECT_EQ(form.labelZeitCaption(), QStringLiteral("Auktion\nbeendet"));
  EXPECT_EQ(zeitFontSize(), 16);
}

TEST_F(SniperTest, noItemStopsTheTimerAndTouchesNothingElse) {
  env.state.endet = 0;
  form.setLabelZeitCaption(QStringLiteral("vorher"));
  form.Update_Label();
  EXPECT_FALSE(form.timer1Enabled());
  EXPECT_EQ(form.labelZeitCaption(), QStringLiteral("vorher"));
}

TEST_F(SniperTest, aSettingThatIsNoNumberEndsEveryEvaluationInTheErrorBox) {
  env.state.sectobid = QStringLiteral("zehn");
  secondsBeforeEnd(100);
  form.setLabelZeitCaption(QStringLiteral("vorher"));
  form.Update_Label();
  ASSERT_EQ(env.dialogs.errors.size(), 1);
  EXPECT_TRUE(env.dialogs.errors[0].endsWith(QStringLiteral("Programmteil: Update_Label")));
  EXPECT_EQ(form.labelZeitCaption(), QStringLiteral("vorher"));
}

TEST_F(SniperTest, triggerValueRoundsHalvesToEven) {
  env.state.sectobid = QStringLiteral("5,5");  // 6
  armWith(QStringLiteral("12,5"));
  secondsBeforeEnd(7);
  form.Update_Label();
  EXPECT_FALSE(env.logMessages().contains(QStringLiteral("Bieten initialisiert")));
  secondsBeforeEnd(6);
  form.Update_Label();
  EXPECT_TRUE(env.logMessages().contains(QStringLiteral("Restlaufzeit 6 Sekunden")));
}
