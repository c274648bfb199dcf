#include <gtest/gtest.h>

#include <QScreen>
#include <QWidget>

#include "app/dateserial.h"
#include "app/onscreen.h"
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

// A stored position from another screen layout brings the window whole onto the nearest
// screen; one the screens show whole stays, across two screens too.
TEST(GetFormSettings, aPositionOffTheScreensComesBackWholeOnTheNearest) {
  const QRect laptop(0, 0, 1280, 800), right(1280, 0, 1920, 1080);
  const struct {
    const char* what;
    QPoint stored;
    QList<QRect> screens;
    QPoint shown;
  } cases[] = {
      {"Left=40000", {2667, 0}, {laptop}, {994, 0}},
      {"partly off to the right and below", {1000, 636}, {laptop}, {994, 592}},
      {"above and left of the screen", {-300, -50}, {laptop}, {0, 0}},
      {"on the screen", {100, 50}, {laptop}, {100, 50}},
      {"across two screens", {1200, 100}, {laptop, right}, {1200, 100}},
      {"below the taller screen", {1500, 2000}, {laptop, right}, {1500, 872}},
      {"mostly on the right screen, partly below both", {1250, 700}, {laptop, right}, {1280, 700}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(onscreen::wholeOnScreen(QRect(c.stored, QSize(286, 208)), c.screens), c.shown);
  }
  // The window itself, on this session's screen.
  TestEnv env;
  env.setSetting("Left", "40000");
  QWidget w;
  w.resize(286, 208);
  GetFormSettings(*env.ctx, w, kApp, kSection, true);
  EXPECT_TRUE(w.screen()->availableGeometry().contains(w.geometry())) << w.geometry().x();
  EXPECT_EQ(env.setting("Left"), "40000");
}

TEST(FormSettings, placementIsStoredInTwipsAsDecimalTextAndRestoredWithTheState) {
  TestEnv env;
  QWidget w;
  w.setGeometry(100, 50, 280, 183);
  SaveFormSettings(*env.ctx, w, kApp, kSection);
  EXPECT_EQ(env.setting("Left"), "1500");
  EXPECT_EQ(env.setting("Top"), "750");
  EXPECT_EQ(env.setting("Width"), "4200");
  EXPECT_EQ(env.setting("WindowState"), "0");
  for (const auto& [stored, state] :
       {std::pair{"1", Qt::WindowMinimized}, std::pair{"2", Qt::WindowMaximized}}) {
    env.setSetting("WindowState", stored);
    QWidget restored;
    GetFormSettings(*env.ctx, restored, kApp, kSection, true);
    EXPECT_EQ(restored.geometry().topLeft(), QPoint(100, 50));
    EXPECT_EQ(restored.windowState(), state);
  }
}

TEST(GetFormSettings, badStoredValuesShowTheErrorBoxAndKeepWhatWasThere) {
  TestEnv env;
  QWidget w;
  w.setGeometry(30, 30, 100, 100);
  env.setSetting("Left", "links");
  GetFormSettings(*env.ctx, w, kApp, kSection, true);
  EXPECT_EQ(w.geometry().topLeft(), QPoint(30, 30));
  ASSERT_EQ(env.dialogs.errors.size(), 1);
  EXPECT_TRUE(env.dialogs.errors[0].contains("Typen unverträglich (Einstellung 'Left')"));
  EXPECT_TRUE(env.dialogs.errors[0].endsWith("Programmteil: GetFormSettings"));

  env.setSetting("Left", "150");
  env.setSetting("WindowState", "3");
  GetFormSettings(*env.ctx, w, kApp, kSection, true);
  EXPECT_EQ(w.geometry().topLeft(), QPoint(10, 0));  // moved, but the state is refused
  EXPECT_EQ(w.windowState(), Qt::WindowNoState);
  EXPECT_TRUE(env.dialogs.errors.last().contains("Unzulässiger Eigenschaftswert"));
  env.setSetting("WindowState", "zu");
  GetFormSettings(*env.ctx, w, kApp, kSection, true);
  EXPECT_TRUE(env.dialogs.errors.last().contains("(Einstellung 'WindowState')"));

  env.state.instanceCount = 110;  // 300 x 110 leaves the 16-bit range
  GetFormSettings(*env.ctx, w, kApp, kSection, false);
  EXPECT_TRUE(env.dialogs.errors.last().contains("Überlauf"));
}

// Pause runs on the wall clock: it ends at its target across midnight and when the clock is set
// meanwhile, without waiting the full time again.
TEST(Pause, endsAtItsWallClockTargetAcrossMidnightAndWhenTheClockIsSet) {
  TestEnv env;
  env.clock.set(2026, 12, 5, 23, 59, 58, 500);
  Pause(*env.ctx, 3);
  EXPECT_EQ(env.clock.localMs(), dateserial::dayNumber(2026, 12, 6) * 86400000 + 1500);
  const int waits = env.clock.waits;
  EXPECT_GE(waits, 1);
  Pause(*env.ctx, -1);
  EXPECT_EQ(env.clock.waits, waits);

  const qint64 start = env.clock.localMs();
  env.clock.onWait = [&](qint64) {
    if (env.clock.waits == waits + 1) env.clock.setMs(start + 10000);
  };
  Pause(*env.ctx, 5);
  EXPECT_EQ(env.clock.localMs(), start + 10000);
  EXPECT_EQ(env.clock.waits, waits + 1);
}
