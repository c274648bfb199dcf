// The evaluation at the trigger second is set one millisecond past its boundary; one that comes
// a moment early must not be lost until the next tick.
#include "sniperfixture.h"

TEST_F(SniperTest, anEvaluationJustBeforeTheTriggerSecondSetsItselfAgainRightAfterIt) {
  env.state.sectobid = QStringLiteral("5");
  armWith(QStringLiteral("1"));
  secondsBeforeEnd(6, 999);  // one millisecond before the trigger second
  form.Update_Label();
  QTimer* trigger = form.triggerTimer();
  ASSERT_TRUE(trigger->isActive());
  EXPECT_LE(trigger->remainingTime(), 2);

  // It fires while the clock still reads the moment before the boundary.
  trigger->stop();
  QMetaObject::invokeMethod(trigger, "timeout", Qt::DirectConnection);
  EXPECT_FALSE(env.logMessages().contains(QStringLiteral("Bieten initialisiert")));
  ASSERT_TRUE(trigger->isActive());
  EXPECT_LE(trigger->remainingTime(), 2);

  secondsBeforeEnd(5, 1);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return env.logMessages().contains(QStringLiteral("Restlaufzeit 5 Sekunden")); }, 3000));
}
