#include <QDialog>
#include <QTcpServer>

#include "bidding/inet.h"

#include "sniperfixture.h"

TEST_F(SniperTest, enterInTheFieldArmsWithTheAmountInTheRegionalMoneyForm) {
  secondsBeforeEnd(600);
  form.Update_Label();
  QTest::keyClicks(form.Txt_maxbid, QStringLiteral("12,5"));
  QTest::keyClick(form.Txt_maxbid, Qt::Key_Return);
  EXPECT_TRUE(env.state.armed);
  EXPECT_FLOAT_EQ(env.state.maxBid, 12.5f);
  EXPECT_EQ(form.Txt_maxbid->text(), QStringLiteral("12,50"));
  EXPECT_EQ(form.LblBieten->text(), QStringLiteral("10 Sek. vor Ende \n12,50 bieten."));
  EXPECT_TRUE(form.LblBieten->isVisible());
  EXPECT_FALSE(form.Txt_maxbid->isEnabled());
  EXPECT_EQ(form.Command1->text(), QStringLiteral("nicht bieten"));
  EXPECT_EQ(form.backColor(), QColor(255, 192, 192));
  EXPECT_EQ(form.command1BackColor(), QColor(255, 192, 192));
  EXPECT_EQ(form.Lbl_GetArtikel->foreColor(), QColor(128, 128, 128));
  EXPECT_FALSE(hasCustomPointer(form.Lbl_Optionen));
  EXPECT_EQ(env.state.clockLabelOffset, 550);
  EXPECT_EQ(env.logMessages().last(), QStringLiteral("GebotsfalkePlus scharfgestellt"));

  form.Txt_maxbid->setEnabled(true);
  form.Txt_maxbid->setText(QStringLiteral("1234"));
  form.Command1_Click();  // disarm
  form.Command1_Click();  // arm again
  EXPECT_EQ(form.Txt_maxbid->text(), QStringLiteral("1.234,00"));
}

TEST_F(SniperTest, pressingTheButtonWhileArmedDisarms) {
  env.state.AvailableVersion = QStringLiteral("1.03.0007");
  form.Lbl_update->show();
  armWith(QStringLiteral("3"));
  EXPECT_FALSE(form.Lbl_update->isVisible());
  QTest::mouseClick(form.Command1, Qt::LeftButton);
  EXPECT_FALSE(env.state.armed);
  EXPECT_EQ(form.Command1->text(), QStringLiteral("bieten"));
  EXPECT_TRUE(form.Txt_maxbid->isEnabled());
  EXPECT_FALSE(form.LblBieten->isVisible());
  EXPECT_EQ(form.Lbl_GetArtikel->foreColor(), QColor(0, 0, 255));
  EXPECT_TRUE(hasCustomPointer(form.Lbl_GetArtikel));
  EXPECT_TRUE(form.Lbl_update->isVisible());
  EXPECT_EQ(form.backColor(), QColor(224, 224, 224));
  EXPECT_EQ(env.state.clockLabelOffset, 200);
  EXPECT_EQ(env.logMessages().last(), QStringLiteral("GebotsfalkePlus entschärft"));
}

TEST_F(SniperTest, unusableAmountsLeaveTheWindowDisarmedWithoutAWord) {
  for (const char* typed : {"", "abc", "12.50", "0"}) {
    env.state.maxBid = 7;
    armWith(QString::fromLatin1(typed));
    EXPECT_FALSE(env.state.armed) << typed;
    EXPECT_EQ(env.state.maxBid, 0.0f) << typed;
  }
  // Texts that are no number stay as typed; a number is written back in the money form.
  EXPECT_EQ(form.Txt_maxbid->text(), QStringLiteral("0,00"));
  EXPECT_TRUE(env.dialogs.errors.isEmpty());
  EXPECT_TRUE(env.dialogs.messages.isEmpty());
  armWith(QStringLiteral("-5"));  // only zero is refused
  EXPECT_TRUE(env.state.armed);
  EXPECT_EQ(form.Txt_maxbid->text(), QStringLiteral("-5,00"));
}

TEST_F(SniperTest, missingAccountOpensTheOptionsOnceAndArmsOnlyWhenTheyWereFilledIn) {
  env.state.user.clear();
  armWith(QStringLiteral("10"));
  EXPECT_EQ(env.dialogs.execs, QList<QString>{QStringLiteral("frmOptions")});
  EXPECT_FALSE(env.state.armed);
  EXPECT_FLOAT_EQ(env.state.maxBid, 10.0f);  // the amount was still taken

  env.dialogs.onExec = [&](QDialog&) { env.state.user = QStringLiteral("bieter"); };
  armWith(QStringLiteral("10"));
  EXPECT_EQ(env.dialogs.execs.size(), 2);
  EXPECT_TRUE(env.state.armed);
}

TEST_F(SniperTest, ctrlF9BidsAtOnceOnlyWhileArmedAndIdle) {
  QTest::keyClick(&form, Qt::Key_F9, Qt::ControlModifier);
  EXPECT_FALSE(env.logMessages().contains(QStringLiteral("STRG+F9 startet Bieten")));

  armWith(QStringLiteral("2"));
  QTest::keyClick(form.Txt_maxbid, Qt::Key_F9, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_FALSE(env.logMessages().contains(QStringLiteral("STRG+F9 startet Bieten")));

  // A transfer is running: nothing happens.
  QTcpServer silent;
  ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
  form.Inet1->Execute(QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort()));
  QTest::keyClick(&form, Qt::Key_F9, Qt::ControlModifier);
  EXPECT_FALSE(env.logMessages().contains(QStringLiteral("STRG+F9 startet Bieten")));
  form.Inet1->Cancel();

  bool armedDuringBox = false;
  env.dialogs.onMessage = [&](const QString&) { armedDuringBox = env.state.armed; };
  QTest::keyClick(&form, Qt::Key_F9, Qt::ControlModifier);
  EXPECT_EQ(env.logMessages().count(QStringLiteral("STRG+F9 startet Bieten")), 1);
  ASSERT_EQ(env.dialogs.messages.size(), 1);
  EXPECT_EQ(env.dialogs.messages[0], env.state.bidResultText);
  EXPECT_EQ(env.dialogs.titles[0], QStringLiteral("GebotsfalkePlus"));
  EXPECT_TRUE(armedDuringBox);
  EXPECT_FALSE(env.state.armed);
  EXPECT_FALSE(env.state.bidBusy);
}

TEST_F(SniperTest, ctrlF5OpensTheLogArmedOrNot) {
  QTest::keyClick(&form, Qt::Key_F5, Qt::ControlModifier);
  armWith(QStringLiteral("2"));
  QTest::keyClick(&form, Qt::Key_F5, Qt::ControlModifier);
  const QString log = env.programFolder() + QStringLiteral("/gebotsfalke.log");
  EXPECT_EQ(env.shell.files, (QStringList{log, log}));
}

TEST_F(SniperTest, anErrorInArmingNamesTheStepReached) {
  armWith(QStringLiteral("1e39"));  // beyond single precision
  ASSERT_EQ(env.dialogs.errors.size(), 1);
  EXPECT_TRUE(env.dialogs.errors[0].contains(QStringLiteral("Programmteil: Command1_Click")));
  EXPECT_TRUE(env.dialogs.errors[0].endsWith(QStringLiteral("\r\nZeilennummer: 19")));
  EXPECT_FALSE(env.state.armed);
}
