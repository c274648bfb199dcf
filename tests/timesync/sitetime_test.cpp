#include "timesync/sitetime.h"
#include "support/testwindow.h"
#include "timesync/sitehost.h"
#include "timesync/sitetimegate.h"

namespace {
// The window against a site whose clock runs siteLead ahead of the computer's, for a user
// without the right to set the clock; nothing measured yet in this run.
void measureAgainst(PageHost& host, TestWindow& w, qint64 siteLead) {
  host.runClock(w.env.clock, siteLead);
  w.env.systemClock.refuse = true;
  w.env.state.siteTimeMeasuring = false;
  w.env.state.endpoints.timeHost = host.baseUrl();
}
bool measured(TestWindow& w) {
  return QTest::qWaitFor([&] { return !w.env.state.siteTimeMeasuring; }, 10000);
}
// The lead taken over is the site's, 0 to 10 ms behind it.
void expectTakenOver(qint64 siteLead, const TestWindow& w) {
  EXPECT_GE(siteLead - w.env.clock.siteLeadMs(), 0);
  EXPECT_LE(siteLead - w.env.clock.siteLeadMs(), 10);
}
}  // namespace

// Arming takes the site's clock over in the background when it was not measured for 30
// minutes: the window is armed at once; the bid moving 90 s earlier is shown in a box and one
// log line; a failure changes nothing.
TEST(SiteTimeAtArming, measuresSilentlyOnceInHalfAnHourAndAFailureChangesNothing) {
  const qint64 kMinuteMs = 60000;
  PageHost host;
  TestWindow w;
  measureAgainst(host, w, 90400);
  TestEnv& env = w.env;
  AppState& s = env.state;
  QLineEdit* amount = w.ui.Txt_maxbid;
  QPushButton* button = w.ui.Command1;

  amount->setText("5");
  QTest::keyClick(amount, Qt::Key_Return);
  ASSERT_TRUE(s.armed);
  EXPECT_EQ(env.clock.siteLeadMs(), 0);  // arming did not wait for the site
  ASSERT_TRUE(measured(w));
  expectTakenOver(90400, w);
  QStringList log = env.logMessages();
  ASSERT_EQ(log.size(), 2);
  EXPECT_EQ(log[0], "GebotsfalkePlus scharfgestellt");
  EXPECT_TRUE(log[1].startsWith("Timesync: 19:0"));
  EXPECT_TRUE(log[1].endsWith(" (nicht gestellt) +90,4 Sekunden")) << log[1].toStdString();
  EXPECT_TRUE(env.dialogs.messages.isEmpty());
  EXPECT_EQ(env.dialogs.errors, QStringList{"Die Uhrzeit des Auktionshauses wurde neu gemessen."
                                            "\r\nDas Gebot geht 90,4 Sekunden früher ab."});
  const QStringList requests = host.requests();
  EXPECT_GE(requests.size(), 5);  // the page and its later readings; no version check
  EXPECT_TRUE(requests.filter("/files/").isEmpty());

  // Armed again within the half hour: nothing is asked.
  env.clock.advanceMs(29 * kMinuteMs);
  QTest::mouseClick(button, Qt::LeftButton);  // disarms
  QTest::mouseClick(button, Qt::LeftButton);  // arms
  ASSERT_TRUE(s.armed);
  EXPECT_FALSE(s.siteTimeMeasuring);
  EXPECT_EQ(host.requests().size(), requests.size());

  // Half an hour after it, the site cannot be reached: the lead stays, the log says why.
  env.clock.advanceMs(kMinuteMs);
  s.endpoints.timeHost = QStringLiteral("http://127.0.0.1:1");
  QTest::mouseClick(button, Qt::LeftButton);
  QTest::mouseClick(button, Qt::LeftButton);
  ASSERT_TRUE(measured(w));
  expectTakenOver(90400, w);
  log = env.logMessages();
  EXPECT_EQ(log.mid(2), QStringList({"GebotsfalkePlus entschärft", "GebotsfalkePlus scharfgestellt",
                                     "GebotsfalkePlus entschärft", "GebotsfalkePlus scharfgestellt",
                                     "Timesync nicht möglich: keine Antwort vom Server "
                                     "(Verbindung abgelehnt)"}));
  EXPECT_EQ(env.dialogs.errors.size(), 1);
}

// While armed, a measurement may move the bid earlier, or a few seconds later, and says so; a
// site's clock 2 hours behind (a wrong or hostile time page) moves it only on the user's yes,
// asked in the window and in a notification.
TEST(SiteTimeAtArming, movesTheBidLaterByMoreThanAFewSecondsOnlyOnTheUsersYes) {
  const struct {
    qint64 siteLead;
    int answer;  // -1: nothing asked; else 0 no, 1 yes
    QString said;
  } cases[] = {
      {-2500, -1, "Das Gebot geht 2,5 Sekunden später ab."},
      {-7200000, 0,
       "Danach ginge das Gebot 7200,0 Sekunden später ab.\r\nNeue Uhrzeit übernehmen? Ohne Ja "
       "bleibt es beim früheren Zeitpunkt."},
      {-7200000, 1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.siteLead << " answer " << c.answer);
    PageHost host;
    TestWindow w;
    measureAgainst(host, w, c.siteLead);
    TestEnv& env = w.env;
    w.ui.Txt_maxbid->setText("5");
    w.form.Command1_Click();
    ASSERT_TRUE(measured(w));
    const bool asked = c.answer >= 0;
    ASSERT_EQ(env.dialogs.questions.size(), asked ? 1 : 0);
    if (asked) {
      EXPECT_EQ(env.clock.siteLeadMs(), 0);  // the earlier trigger stays meanwhile
      EXPECT_EQ(env.logMessages().last(),
                "Timesync zurückgehalten: Gebot ginge 7200,0 Sekunden später ab, Rückfrage");
      EXPECT_EQ(env.notifier.shown.value(0).second, env.dialogs.questions[0].first);
      EXPECT_TRUE(env.dialogs.questions[0].first.endsWith(c.said));
      env.dialogs.questions[0].second(c.answer == 1);
    } else {
      EXPECT_TRUE(env.dialogs.errors.value(0).endsWith(c.said));
    }
    const qint64 kept = c.answer == 0 ? 0 : c.siteLead;
    expectTakenOver(kept, w);
    EXPECT_TRUE(env.state.armed);
  }
}

// A bid through eBay's API goes by the API host's clock: the Date of its answers, narrowed by
// timed readings as the time page's stamp is.
TEST(SiteTimeAtArming, theApiRouteGoesByTheDateOfTheApiHostsAnswers) {
  PageHost host;
  TestWindow w;
  measureAgainst(host, w, 90400);
  ebay::Account& a = w.env.state.ebay;
  a.loaded = true;
  a.keyset = {"App", "Cert", "Ru"};
  a.refreshToken = {"angemeldet", w.env.clock.localMs() + 3600'000};
  w.env.state.endpoints.ebayApiHost = host.baseUrl();
  host.setPage("{}", "/");
  w.env.state.endpoints.timeHost = "http://127.0.0.1:1";
  struct : SiteTimeGate {
    bool takeOverNow(qint64) override { return true; }
    void siteTimeTakenOver() override {}
  } gate;
  measureSiteTimeIfDue(*w.env.ctx, &w.form, gate);
  ASSERT_TRUE(measured(w));
  expectTakenOver(90400, w);
  EXPECT_GE(host.requests().filter(QRegularExpression("^/ ")).size(), 5);
}
