#include "sniperfixture.h"

namespace {
// The log's messages from the first line that equals `from`.
QStringList from(const QStringList& lines, const QString& first) {
  const qsizetype i = lines.indexOf(first);
  return i < 0 ? QStringList() : lines.mid(i);
}
}  // namespace

TEST_F(SniperTest, bidsOnTheFirstEvaluationAtTheSettingThenDisarmsAndPausesUntilTheEnd) {
  env.state.sectobid = QStringLiteral("5");
  armWith(QStringLiteral("12,5"));
  secondsBeforeEnd(6);
  form.Update_Label();
  EXPECT_EQ(form.labelZeitCaption(), QStringLiteral("6"));
  EXPECT_FALSE(env.logMessages().contains(QStringLiteral("Bieten initialisiert")));

  secondsBeforeEnd(5, 2);
  form.Update_Label();
  const QStringList log = from(env.logMessages(), QStringLiteral("Restlaufzeit 5 Sekunden"));
  ASSERT_FALSE(log.isEmpty());
  EXPECT_EQ(log[1], QStringLiteral("Bieten initialisiert"));
  EXPECT_TRUE(log.contains(QStringLiteral("Warnton")));
  EXPECT_TRUE(log.contains(QStringLiteral("GebotsfalkePlus entschärft")));
  EXPECT_EQ(log.last(), QStringLiteral("Bieten abgeschlossen"));
  EXPECT_LT(log.indexOf(QStringLiteral("Warnton")),
            log.indexOf(QStringLiteral("GebotsfalkePlus entschärft")));
  EXPECT_FALSE(env.state.armed);
  EXPECT_EQ(form.labelZeitCaption(), QStringLiteral("Gebot wurde\nabgegeben."));
  EXPECT_EQ(zeitFontSize(), 11);
  // The pause lasts until the end time.
  EXPECT_EQ(env.clock.wholeSeconds(), dateserial::toLinearSeconds(env.state.endet));
  EXPECT_EQ(env.sound.tones,
            (QList<QPair<int, int>>{{900, 80}, {950, 80}, {900, 80}, {950, 80}, {900, 700}}));
}

TEST_F(SniperTest, armedLateBidsAtOnceAndSettingZeroBidsAtTheEnd) {
  env.state.sectobid = QStringLiteral("5");
  secondsBeforeEnd(3);
  armWith(QStringLiteral("1"));
  form.Update_Label();
  EXPECT_TRUE(env.logMessages().contains(QStringLiteral("Restlaufzeit 3 Sekunden")));

  env.state.sectobid = QStringLiteral("0");
  env.state.endet = dateserial::fromParts({2026, 12, 5, 21, 0, 0});
  form.Txt_maxbid->setEnabled(true);
  armWith(QStringLiteral("1"));
  ASSERT_TRUE(env.state.armed);
  secondsBeforeEnd(1);
  form.Update_Label();
  EXPECT_FALSE(env.logMessages().contains(QStringLiteral("Restlaufzeit 1 Sekunden")));
  secondsBeforeEnd(0);
  form.Update_Label();  // bids instead of showing the end
  EXPECT_TRUE(env.logMessages().contains(QStringLiteral("Restlaufzeit 0 Sekunden")));
  EXPECT_NE(form.labelZeitCaption(), QStringLiteral("Auktion\nbeendet"));
}

TEST_F(SniperTest, onlyAWarntonOfExactlyOnePlaysTones) {
  env.state.warnton = -1;
  armWith(QStringLiteral("1"));
  secondsBeforeEnd(2);
  form.Update_Label();
  EXPECT_TRUE(env.sound.tones.isEmpty());
  EXPECT_FALSE(env.logMessages().contains(QStringLiteral("Warnton")));
  EXPECT_TRUE(env.logMessages().contains(QStringLiteral("Bieten abgeschlossen")));
}

TEST_F(SniperTest, noEvaluationOverlapsTheBidOrThePauseAfterIt) {
  armWith(QStringLiteral("1"));
  int nestedTicks = 0;
  // While the bid's pause waits, ticks and the trigger evaluation come in; the user even arms
  // again. None of them may start another evaluation, let alone a second bid.
  env.clock.onWait = [&](qint64) {
    if (nestedTicks++ > 0) return;
    form.Txt_maxbid->setText(QStringLiteral("2"));
    form.Command1_Click();
    ASSERT_TRUE(env.state.armed);
    form.Timer1_Timer();
    QMetaObject::invokeMethod(form.triggerTimer(), "timeout", Qt::DirectConnection);
  };
  secondsBeforeEnd(4);
  form.Timer1_Timer();
  EXPECT_GE(nestedTicks, 1);
  EXPECT_EQ(env.logMessages().count(QStringLiteral("Bieten initialisiert")), 1);
}

TEST_F(SniperTest, aTickDuringTheImmediateBidDoesNotBid) {
  armWith(QStringLiteral("1"));
  secondsBeforeEnd(3);
  env.state.bidBusy = true;  // Ctrl+F9's transaction runs
  form.Timer1_Timer();
  EXPECT_FALSE(env.logMessages().contains(QStringLiteral("Bieten initialisiert")));
  EXPECT_TRUE(env.state.armed);
}

TEST_F(SniperTest, armedNearTheTriggerAlsoEvaluatesRightAfterTheSecondBoundary) {
  env.state.sectobid = QStringLiteral("5");
  armWith(QStringLiteral("1"));
  secondsBeforeEnd(6, 400);  // 5.6 s before the end: the trigger second starts in 600 ms
  form.Update_Label();
  ASSERT_TRUE(form.triggerTimer()->isActive());
  EXPECT_NEAR(form.triggerTimer()->remainingTime(), 603, 20);
  EXPECT_FALSE(env.logMessages().contains(QStringLiteral("Bieten initialisiert")));
  // Far from the trigger, or disarmed, nothing is scheduled.
  secondsBeforeEnd(30);
  form.Update_Label();
  EXPECT_FALSE(form.triggerTimer()->isActive());

  secondsBeforeEnd(6, 900);
  form.Update_Label();
  ASSERT_TRUE(form.triggerTimer()->isActive());
  secondsBeforeEnd(5, 3);  // the clock has reached the boundary when the timer fires
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return env.logMessages().contains(QStringLiteral("Restlaufzeit 5 Sekunden")); }, 3000));
}
