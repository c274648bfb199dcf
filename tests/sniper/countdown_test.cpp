#include "sniper/countdowntext.h"
#include "sniperfixture.h"

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

TEST_F(SniperTest, farAndNearRangesSetTickRateAndRewriteOnlyOnChange) {
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

TEST_F(SniperTest, lastMinuteGrowsRedWhileDisarmedAndStaysBlackWhileArmed) {
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

TEST_F(SniperTest, minimisedWindowShowsTheSecondsInItsCaptionAndFlashes) {
  form.showMinimized();
  evaluateAt(12);
  EXPECT_EQ(form.caption(), " >>12<<");
  EXPECT_EQ(env.shell.flashes, 1);
  form.showNormal();
  form.Update_Label();
  EXPECT_EQ(form.caption(), "Nokia 3310 Handy");
}

TEST_F(SniperTest, theEndShowsTheResultOnceThenAuktionBeendetAndStopsTheTimer) {
  env.state.bidResultText = "Sie haben\r\ndas höchste\r\nGebot abgegeben.";
  evaluateAt(0);
  EXPECT_EQ(form.labelZeitCaption(), "Sie haben\ndas höchste\nGebot abgegeben.");
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
TEST_F(SniperTest, noItemOrASettingThatIsNoNumberLeavesTheCountdownAsItWas) {
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
