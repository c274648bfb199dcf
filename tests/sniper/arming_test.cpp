#include <QDialog>
#include <QTcpServer>
#include <QToolTip>

#include "app/twips.h"
#include "bidding/inet.h"
#include "options/frmoptions.h"

#include "support/testwindow.h"

TEST_F(WindowTest, enterArmsWithTheAmountInTheMoneyFormAndTheButtonDisarms) {
  env.state.AvailableVersion = "1.03.0007";
  ui.Lbl_update->show();
  QTest::keyClicks(ui.Txt_maxbid, "12,5");
  QTest::keyClick(ui.Txt_maxbid, Qt::Key_Return);
  EXPECT_TRUE(env.state.armed);
  EXPECT_FLOAT_EQ(env.state.maxBid, 12.5f);
  EXPECT_EQ(ui.Txt_maxbid->text(), "12,50");
  EXPECT_EQ(ui.LblBieten->text(), "10 Sek. vor Ende \n12,50 bieten.");
  EXPECT_TRUE(ui.LblBieten->isVisible());
  EXPECT_FALSE(ui.Txt_maxbid->isEnabled());
  EXPECT_FALSE(ui.Lbl_update->isVisible());
  EXPECT_EQ(ui.Command1->text(), "nicht bieten");
  EXPECT_EQ(form.backColor(), QColor(255, 192, 192));
  EXPECT_EQ(ui.Lbl_GetArtikel->foreColor(), QColor(128, 128, 128));
  EXPECT_EQ(env.logMessages().last(), "GebotsfalkePlus scharfgestellt");
  const int armedTop = ui.LabelZeit->y();

  QTest::mouseClick(ui.Command1, Qt::LeftButton);
  EXPECT_FALSE(env.state.armed);
  // Armed, the countdown stood 350 twips higher, clear of the bid line.
  EXPECT_NEAR((ui.LabelZeit->y() - armedTop) * twips::perPixelY(ui.LabelZeit), 350, 15);
  EXPECT_EQ(ui.Command1->text(), "bieten");
  EXPECT_TRUE(ui.Txt_maxbid->isEnabled());
  EXPECT_FALSE(ui.LblBieten->isVisible());
  EXPECT_TRUE(ui.Lbl_update->isVisible());
  EXPECT_EQ(ui.Lbl_GetArtikel->foreColor(), QColor(0, 0, 255));
  EXPECT_EQ(form.backColor(), QColor(224, 224, 224));
  EXPECT_EQ(env.logMessages().last(), "GebotsfalkePlus entschärft");
}

// An amount that cannot be bid leaves the window disarmed and says why beside the field (its
// tooltip), with the form that works; the amount is read as always.
TEST_F(WindowTest, unusableAmountsLeaveTheWindowDisarmedAndSayWhy) {
  const struct {
    const char* typed;
    QString said;
  } cases[] = {
      {"", "Bitte ein Höchstgebot eingeben, zum Beispiel 20,00."},
      {"abc", "„abc“ wurde nicht verstanden. Bitte den Betrag so eingeben: 20,00"},
      {"20 EUR", "„20 EUR“ wurde nicht verstanden. Bitte den Betrag so eingeben: 20,00"},
      {"20.00", "„20.00“ wurde nicht verstanden. Bitte den Betrag so eingeben: 20,00"},
      {"1,234.5", "„1,234.5“ wurde nicht verstanden. Bitte den Betrag so eingeben: 1.234,50"},
      {"0",
       "Ein Höchstgebot von 0 kann nicht geboten werden. Bitte einen Betrag eingeben, zum "
       "Beispiel 20,00."},
  };
  for (const auto& c : cases) {
    env.state.maxBid = 7;
    armWith(QString::fromLatin1(c.typed));
    EXPECT_FALSE(env.state.armed) << c.typed;
    EXPECT_EQ(env.state.maxBid, 0.0f) << c.typed;
    EXPECT_EQ(ui.Txt_maxbid->toolTip(), c.said);
    EXPECT_EQ(QToolTip::text(), c.said);
  }
  // Texts that are no number stay as typed; a number is written back in the money form.
  EXPECT_EQ(ui.Txt_maxbid->text(), "0,00");
  EXPECT_TRUE(env.dialogs.errors.isEmpty());
  EXPECT_TRUE(env.dialogs.messages.isEmpty());
  armWith("-5");  // only zero is refused
  EXPECT_TRUE(env.state.armed);
  EXPECT_EQ(ui.Txt_maxbid->text(), "-5,00");
  EXPECT_EQ(ui.Txt_maxbid->toolTip(), "");
  // Nor is anything armed without an item number and an end (a start with "-bay" and nothing
  // saved showed the bid controls so).
  form.Command1_Click();
  for (const auto& [id, end] : {std::pair<QString, double>{"", 46361.0}, {"1234567890", 0.0}}) {
    env.state.ItemID = id;
    env.state.endet = end;
    armWith("5");
    EXPECT_FALSE(env.state.armed) << id.toStdString();
  }
}

// Beyond single precision (even near the largest double) arming fails by overflow at step 19.
TEST_F(WindowTest, anAmountBeyondSinglePrecisionEndsInTheErrorBoxWithTheStep) {
  for (const char* typed : {"1e39", "5E+306"}) {
    env.dialogs.errors.clear();
    armWith(typed);
    ASSERT_EQ(env.dialogs.errors.size(), 1) << typed;
    EXPECT_TRUE(env.dialogs.errors[0].startsWith("Fehlernummer:  6\r\n")) << typed;
    EXPECT_TRUE(
        env.dialogs.errors[0].endsWith("\r\nProgrammteil: Command1_Click\r\nZeilennummer: 19"))
        << typed;
    EXPECT_FALSE(env.state.armed) << typed;
  }
}

// Without a name, or with seconds the countdown cannot bid with (no number, beyond 300; which
// seconds count: the option rules' table), arming opens the options with their check (OK
// refuses bad seconds) and arms only once they were put right there.
TEST(Arming, missingAccountOrUnusableSecondsOpenTheOptionsAndArmOnlyWhenPutRight) {
  const struct {
    const char* user;
    const char* seconds;
  } cases[] = {{"", "10"}, {"bieter", "abc"}, {"bieter", "301"}};  // all seconds: optionrules
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "'" << c.user << "' '" << c.seconds << "'");
    TestWindow w;
    AppState& st = w.env.state;
    st.user = c.user;
    st.sectobid = c.seconds;
    w.env.dialogs.onExec = [](QDialog& d) { static_cast<frmOptions&>(d).cmdOK->click(); };
    w.armWith("10");
    EXPECT_EQ(w.env.dialogs.execs, QList<QString>{"frmOptions"});
    EXPECT_FALSE(st.armed);
    EXPECT_FLOAT_EQ(st.maxBid, 10.0f);  // the amount was still taken

    w.env.dialogs.onExec = [](QDialog& d) {
      auto& options = static_cast<frmOptions&>(d);
      options.Txt_user->setText("bieter");
      options.Txt_sectobid->setText("300");
      options.cmdOK->click();
    };
    w.armWith("10");
    EXPECT_EQ(w.env.dialogs.execs.size(), 2);
    EXPECT_TRUE(st.armed);
    EXPECT_EQ(st.sectobid, "300");
  }
}

TEST_F(WindowTest, ctrlF9BidsAtOnceOnlyWhileArmedAndIdleAndCtrlF5OpensTheLog) {
  const QString started = "STRG+F9 startet Bieten";
  QTest::keyClick(&form, Qt::Key_F9, Qt::ControlModifier);
  EXPECT_FALSE(logged(started));
  QTest::keyClick(&form, Qt::Key_F5, Qt::ControlModifier);

  armWith("2");
  QTest::keyClick(ui.Txt_maxbid, Qt::Key_F9, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_FALSE(logged(started));
  QTest::keyClick(&form, Qt::Key_F5, Qt::ControlModifier);
  const QString log = env.programFolder() + "/gebotsfalke.log";
  EXPECT_EQ(env.shell.files, (QStringList{log, log}));

  // A transfer is running: nothing happens.
  QTcpServer silent;
  ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
  env.inet1.Execute(QString("http://127.0.0.1:%1/").arg(silent.serverPort()));
  QTest::keyClick(&form, Qt::Key_F9, Qt::ControlModifier);
  EXPECT_FALSE(logged(started));
  env.inet1.Cancel();

  bool armedDuringBox = false;
  env.dialogs.onMessage = [&](const QString&) { armedDuringBox = env.state.armed; };
  QTest::keyClick(&form, Qt::Key_F9, Qt::ControlModifier);
  EXPECT_EQ(env.logMessages().count(started), 1);
  EXPECT_EQ(env.dialogs.messages, QStringList{env.state.bidResultText});
  EXPECT_EQ(env.dialogs.titles, QStringList{"GebotsfalkePlus"});
  EXPECT_TRUE(armedDuringBox);
  EXPECT_FALSE(env.state.armed);
  EXPECT_FALSE(env.state.bidBusy);
}
