#include <gtest/gtest.h>

#include <QWidget>

#include "app/dateserial.h"
#include "app/placement.h"
#include "app/settings.h"
#include "support/testenv.h"

using settingskeys::kApp;
using settingskeys::kSection;

TEST(GetFormSettings, firstStartAtOriginAndCascadedPastOpenInstances) {
  TestEnv env;
  QWidget w;
  w.setGeometry(50, 50, 100, 100);
  GetFormSettings(*env.ctx, w, kApp, kSection, true);
  EXPECT_EQ(w.geometry().topLeft(), QPoint(0, 0));
  env.state.instanceCount = 2;  // 600 twips = 40 pixels at 96 dpi
  GetFormSettings(*env.ctx, w, kApp, kSection, true);
  EXPECT_EQ(w.geometry().topLeft(), QPoint(40, 40));
  EXPECT_TRUE(env.dialogs.errors.isEmpty());
}

TEST(GetFormSettings, restoresStoredPositionAndState) {
  TestEnv env;
  env.setSetting(QStringLiteral("Left"), QStringLiteral("1500"));
  env.setSetting(QStringLiteral("Top"), QStringLiteral("750"));
  env.setSetting(QStringLiteral("WindowState"), QStringLiteral("1"));
  QWidget w;
  GetFormSettings(*env.ctx, w, kApp, kSection, true);
  EXPECT_EQ(w.geometry().topLeft(), QPoint(100, 50));
  EXPECT_TRUE(w.windowState() & Qt::WindowMinimized);
}

TEST(GetFormSettings, badStoredValuesShowTheErrorBoxAndKeepWhatWasThere) {
  TestEnv env;
  QWidget w;
  w.setGeometry(30, 30, 100, 100);
  env.setSetting(QStringLiteral("Left"), QStringLiteral("links"));
  GetFormSettings(*env.ctx, w, kApp, kSection, true);
  EXPECT_EQ(w.geometry().topLeft(), QPoint(30, 30));
  ASSERT_EQ(env.dialogs.errors.size(), 1);
  EXPECT_TRUE(env.dialogs.errors[0].contains(QStringLiteral("Typen unverträglich")));
  EXPECT_TRUE(env.dialogs.errors[0].endsWith(QStringLiteral("Programmteil: GetFormSettings")));

  env.setSetting(QStringLiteral("Left"), QStringLiteral("150"));
  env.setSetting(QStringLiteral("WindowState"), QStringLiteral("3"));
  GetFormSettings(*env.ctx, w, kApp, kSection, true);
  EXPECT_EQ(w.geometry().topLeft(), QPoint(10, 0));  // moved, but the state is refused
  EXPECT_EQ(w.windowState(), Qt::WindowNoState);
  ASSERT_EQ(env.dialogs.errors.size(), 2);
  EXPECT_TRUE(env.dialogs.errors[1].contains(QStringLiteral("Unzulässiger Eigenschaftswert")));

  env.state.instanceCount = 110;  // 300 x 110 leaves the 16-bit range
  GetFormSettings(*env.ctx, w, kApp, kSection, false);
  EXPECT_TRUE(env.dialogs.errors.last().contains(QStringLiteral("Überlauf")));
}

TEST(SaveFormSettings, storesTwipsAndStateAsDecimalText) {
  TestEnv env;
  QWidget w;
  w.setGeometry(100, 50, 280, 183);
  SaveFormSettings(*env.ctx, w, kApp, kSection);
  EXPECT_EQ(env.setting(QStringLiteral("Left")), QStringLiteral("1500"));
  EXPECT_EQ(env.setting(QStringLiteral("Top")), QStringLiteral("750"));
  EXPECT_EQ(env.setting(QStringLiteral("Width")), QStringLiteral("4200"));
  EXPECT_EQ(env.setting(QStringLiteral("WindowState")), QStringLiteral("0"));
}

TEST(Pause, waitsOnTheWallClockAcrossMidnightAndReturnsAtOnceForNegativeSeconds) {
  TestEnv env;
  env.clock.set(2026, 12, 5, 23, 59, 58, 500);
  Pause(*env.ctx, 3);
  EXPECT_EQ(env.clock.localMs(), dateserial::dayNumber(2026, 12, 6) * 86400000 + 1500);
  EXPECT_GE(env.clock.waits, 1);

  const int before = env.clock.waits;
  Pause(*env.ctx, -1);
  EXPECT_EQ(env.clock.waits, before);
}

TEST(Pause, followsAClockThatIsSetForwardWhileItWaits) {
  TestEnv env;
  env.clock.set(2026, 12, 5, 12, 0, 0);
  const qint64 start = env.clock.localMs();
  // The clock is set 10 s ahead during the wait: the pause ends at its wall-clock target,
  // without waiting the full time again.
  env.clock.onWait = [&](qint64) {
    if (env.clock.waits == 1) env.clock.setMs(start + 10000);
  };
  Pause(*env.ctx, 5);
  EXPECT_EQ(env.clock.localMs(), start + 10000);
  EXPECT_EQ(env.clock.waits, 1);
}
