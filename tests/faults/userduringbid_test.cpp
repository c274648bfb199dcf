// The user acts while a bid runs: clicks "nicht bieten", presses Enter, closes the window (as
// SIGTERM does), or a tick of the countdown comes in. One armed period places one bid, and a
// close ends the program only after the running exchange, with the end line last.
#include <QTest>
#include <QTimer>

#include "faultfixture.h"
#include "support/texts.h"

using namespace faults;

namespace {
enum class Start { kCountdown, kCtrlF9 };
// When the user acts: while the site answers step 1, step 2 or the vendor report, during the
// pause after the countdown's bid, or while Ctrl+F9's result is shown; or right after step 2
// went out to a site that answers it only after a silence longer than the bid's limit.
enum class When { kStep1, kStep2, kReport, kPause, kResultBox, kStep2SlowSite };
enum class Action { kClick, kEnter, kClose, kTick };

void act(Form1& form, Action action) {
  const MainWindowControls ui(form);
  switch (action) {
    case Action::kClick:
      QTest::mouseClick(ui.Command1, Qt::LeftButton);
      break;
    case Action::kEnter:
      // Into the amount field when it can take keys, else into the window.
      QTest::keyClick(ui.Txt_maxbid->isEnabled() ? static_cast<QWidget*>(ui.Txt_maxbid)
                                                 : static_cast<QWidget*>(&form),
                      Qt::Key_Return);
      break;
    case Action::kClose:
      form.close();
      break;
    case Action::kTick:
      form.Timer1_Timer();
      QMetaObject::invokeMethod(ui.TriggerTimer, "timeout", Qt::DirectConnection);
      break;
  }
}
}  // namespace

TEST(UserDuringTheBid, oneArmedPeriodPlacesOneBidAndACloseEndsTheProgramAfterTheExchange) {
  const struct {
    Start start;
    When when;
    Action action;
  } cases[] = {
      {Start::kCountdown, When::kStep1, Action::kClick},
      {Start::kCountdown, When::kStep2, Action::kClick},
      {Start::kCountdown, When::kPause, Action::kClick},
      {Start::kCountdown, When::kPause, Action::kEnter},
      {Start::kCountdown, When::kStep1, Action::kTick},
      {Start::kCountdown, When::kStep1, Action::kClose},
      {Start::kCountdown, When::kStep2, Action::kClose},
      // The close waits for the answer beyond the silence and logs the real outcome.
      {Start::kCountdown, When::kStep2SlowSite, Action::kClose},
      {Start::kCountdown, When::kReport, Action::kClose},
      {Start::kCountdown, When::kPause, Action::kClose},
      {Start::kCtrlF9, When::kStep1, Action::kClick},
      {Start::kCtrlF9, When::kStep2, Action::kTick},
      {Start::kCtrlF9, When::kReport, Action::kClick},
      {Start::kCtrlF9, When::kStep1, Action::kClose},
      {Start::kCtrlF9, When::kReport, Action::kClose},
      {Start::kCtrlF9, When::kResultBox, Action::kClose},
  };
  const QString endLine = logged::kEndLine;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "start " << int(c.start) << ", when " << int(c.when)
                                    << ", action " << int(c.action));
    const bool slowSite = c.when == When::kStep2SlowSite;
    TestWindow run(slowSite ? auctionSite(2, "slow") : auctionSite());
    storeOptionsAndArm(run);
    if (slowSite) run.env.state.bidLimits.silenceMs = 500;  // the site answers after 2 s
    Form1& form = run.form;
    int answers = 0;  // replies of the site begun so far: step 1, step 2, vendor report
    int acted = 0;
    const auto actNow = [&] {
      if (acted++ == 0) act(form, c.action);
    };
    QObject::connect(&run.env.inet1, &Inet::StateChanged, &form, [&](int state) {
      // Step 1 is in: step 2 goes out before anything queued now is handled.
      if (slowSite && state == Inet::kResponseCompleted && answers == 1)
        QTimer::singleShot(0, &form, actNow);
      if (state != Inet::kReceivingResponse) return;
      ++answers;
      if ((c.when == When::kStep1 && answers == 1) || (c.when == When::kStep2 && answers == 2) ||
          (c.when == When::kReport && answers == 3))
        actNow();
    });
    if (c.when == When::kPause) run.env.clock.onWait = [&](qint64) { actNow(); };
    QString shownInBox;
    run.env.dialogs.onMessage = [&](const QString& text) {
      shownInBox = text;
      if (c.when == When::kResultBox) actNow();
    };

    if (c.start == Start::kCtrlF9) QTest::keyClick(&form, Qt::Key_F9, Qt::ControlModifier);
    run.countdownThroughTheEnd();  // after Ctrl+F9 the trigger must find the window disarmed
    const QString outcome = run.shown();
    run.secondsBeforeEnd(1);  // and no later tick may bid either
    act(form, Action::kTick);

    EXPECT_EQ(acted, 1);
    EXPECT_EQ(run.requestsWith("MakeBid"), 1);
    EXPECT_EQ(run.requestsWith("AcceptBid"), 1);
    EXPECT_TRUE(run.siteTookTheBid());
    EXPECT_EQ(run.reportCode(), "hb");
    EXPECT_FALSE(run.env.state.armed);
    const QStringList log = run.env.logMessages();
    EXPECT_EQ(log.count("GebotsfalkePlus scharfgestellt"), 1);
    EXPECT_EQ(log.count("GebotsfalkePlus entschärft"), 1);
    if (c.start == Start::kCtrlF9) {
      EXPECT_EQ(shownInBox,
                c.action == Action::kClose && c.when != When::kResultBox ? QString() : kHighBidder);
    }
    if (c.action == Action::kClose) {
      // The exchange ran to its end, then the program ended: the end line comes last, once,
      // and the window stays closed.
      EXPECT_FALSE(form.isVisible());
      EXPECT_EQ(log.count(endLine), 1);
      EXPECT_EQ(log.value(log.size() - 1), endLine);
      if (c.start == Start::kCountdown) {
        EXPECT_EQ(log.value(log.size() - 2), "Bieten abgeschlossen");
      }
    } else {
      EXPECT_TRUE(form.isVisible());
      EXPECT_TRUE(run.ui.Command1->isEnabled());
      if (c.start == Start::kCountdown) {
        EXPECT_EQ(outcome, shown::kHighBidder);  // the outcome of the one bid
      }
    }
  }
}

// Two armed periods in one window's life. The first bid is refused (a wrong password) and says
// so at once; the user mends the password, takes the next auction over from the browser and
// arms again. That bid is placed: until its end the window says "Gebot wurde abgegeben.",
// nothing of the first, and after it the new outcome.
TEST(UserDuringTheBid, aSecondArmedPeriodStartsAfreshAfterARefusedBid) {
  TestWindow run(auctionSite());
  storeOptionsAndArm(run);
  AppState& s = run.env.state;
  s.pass = "falsch";
  run.countdownThroughTheEnd();
  EXPECT_EQ(run.shownInThePause, kWrongPassword);
  EXPECT_EQ(run.shown(), kWrongPassword);
  EXPECT_EQ(run.reportCode(), "pw");

  s.pass = "geheim";
  s.taskWindowStyleMask = 0x10800000;
  run.env.windowList.list = {
      {0x40000001, true, true, "eBay Artikel 1234567890 (endet 05.12.26 19:05:00 MEZ) - Lampe"}};
  QTest::mouseClick(run.ui.Lbl_GetArtikel, Qt::LeftButton);
  ASSERT_EQ(s.endet, dateserial::fromParts({2026, 12, 5, 19, 5, 0}));
  run.ui.Txt_maxbid->setText("12,5");
  run.form.Command1_Click();
  ASSERT_TRUE(s.armed);
  run.countdownThroughTheEnd();
  EXPECT_EQ(run.shownInThePause, kPlaced);
  EXPECT_EQ(run.shown(), kHighBidder);
  EXPECT_EQ(run.reportCode(), "hb");
  EXPECT_EQ(run.requestsWith("AcceptBid"), 2);
}
