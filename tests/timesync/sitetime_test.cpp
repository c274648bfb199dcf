#include <gtest/gtest.h>

#include <QTest>

#include "app/dateserial.h"
#include "sniper/form1.h"
#include "support/controls.h"
#include "support/testenv.h"
#include "timesync/sitehost.h"

// Arming takes the site's clock over in the background when it was not measured for 30
// minutes: the window is armed at once, no box, one log line; a failure changes nothing.
TEST(SiteTimeAtArming, measuresSilentlyOnceInHalfAnHourAndAFailureChangesNothing) {
  const qint64 kMinuteMs = 60000;
  PageHost host;  // stopped after the transfer component has closed its connection
  TestEnv env;
  host.runClock(env.clock, 90400);
  env.systemClock.refuse = true;  // a user without the right to set the clock
  AppState& s = env.state;
  s.endpoints.timeHost = host.baseUrl();
  s.ItemID = "1234567890";
  s.AuktionTitel = "Lampe";
  s.endet = dateserial::fromParts({2026, 12, 6, 19, 0, 0});  // a day after the test clock
  s.user = "bieter";
  s.pass = "geheim";
  s.sectobid = "10";
  Form1 form(*env.ctx);
  form.show();
  const MainWindowControls ui(form);
  QLineEdit* amount = ui.Txt_maxbid;
  QPushButton* button = ui.Command1;
  amount->show();
  button->show();
  auto measured = [&] { return QTest::qWaitFor([&] { return !s.siteTimeMeasuring; }, 10000); };

  amount->setText("5");
  QTest::keyClick(amount, Qt::Key_Return);
  ASSERT_TRUE(s.armed);
  EXPECT_EQ(env.clock.siteLeadMs(), 0);  // arming did not wait for the site
  ASSERT_TRUE(measured());
  EXPECT_EQ((90400 - env.clock.siteLeadMs()) / 11, 0);  // 0 to 10 ms behind the site
  QStringList log = env.logMessages();
  ASSERT_EQ(log.size(), 2);
  EXPECT_EQ(log[0], "GebotsfalkePlus scharfgestellt");
  EXPECT_TRUE(log[1].startsWith("Timesync: 19:0"));
  EXPECT_TRUE(log[1].endsWith(" (nicht gestellt) +90,4 Sekunden")) << log[1].toStdString();
  EXPECT_TRUE(env.dialogs.messages.isEmpty());
  const QStringList requests = host.requests();
  EXPECT_GE(requests.size(), 5);  // the page and its later readings; no version check
  EXPECT_TRUE(requests.filter("/files/").isEmpty());

  // Armed again within the half hour: nothing is asked.
  env.clock.advanceMs(29 * kMinuteMs);
  QTest::mouseClick(button, Qt::LeftButton);  // disarms
  QTest::mouseClick(button, Qt::LeftButton);  // arms
  ASSERT_TRUE(s.armed);
  QTest::qWait(50);
  EXPECT_EQ(host.requests().size(), requests.size());

  // Half an hour after it, the site cannot be reached: the lead stays, the log says why.
  env.clock.advanceMs(kMinuteMs);
  s.endpoints.timeHost = QStringLiteral("http://127.0.0.1:1");
  QTest::mouseClick(button, Qt::LeftButton);
  QTest::mouseClick(button, Qt::LeftButton);
  ASSERT_TRUE(measured());
  EXPECT_EQ((90400 - env.clock.siteLeadMs()) / 11, 0);  // 0 to 10 ms behind the site
  log = env.logMessages();
  EXPECT_EQ(log.mid(2), QStringList({"GebotsfalkePlus entschärft", "GebotsfalkePlus scharfgestellt",
                                     "GebotsfalkePlus entschärft", "GebotsfalkePlus scharfgestellt",
                                     "Timesync nicht möglich: Keine Zeitinformationen erhalten."}));
  EXPECT_TRUE(env.dialogs.errors.isEmpty());
}
