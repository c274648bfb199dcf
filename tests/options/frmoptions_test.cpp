#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>

#include "app/savedpassword.h"
#include "app/scramble.h"
#include "app/twips.h"
#include "options/frmoptions.h"
#include "options/optionrules.h"
#include "support/testenv.h"

namespace {
// A user with stored options, as Form1init would have read them.
struct Options : ::testing::Test {
  TestEnv env;
  QStringList keys{"msgonsync", "synconstart", "warnton", "saveuser", "user", "pass", "sectobid"};

  Options() {
    AppState& s = env.state;
    s.msgonsync = s.warnton = s.saveuser = 1;
    s.user = QStringLiteral("bieter");
    s.pass = QStringLiteral("geheim");
    s.sectobid = QStringLiteral("10");
    for (const QString& k : keys) env.setSetting(k, QStringLiteral("stored ") + k);
  }
  QStringList stored() const {
    QStringList out;
    for (const QString& k : keys) out << env.setting(k);
    return out;
  }
  QStringList working() const {
    const AppState& s = env.state;
    QStringList out;
    for (int v : {s.msgonsync, s.synconstart, s.warnton, s.saveuser}) out << QString::number(v);
    return out << s.user << s.pass << s.sectobid;
  }
  static void retype(QLineEdit* box, const QString& text) {
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
  }
};
}  // namespace

TEST_F(Options, loadShowsTheWorkingValuesReadably) {
  env.state.synconstart = 2;
  frmOptions dlg(*env.ctx, nullptr);
  EXPECT_EQ(
      QList<Qt::CheckState>({dlg.Check_msgonsync->checkState(), dlg.Check_synconstart->checkState(),
                             dlg.Check_Warnton->checkState(), dlg.Check_saveuser->checkState()}),
      QList<Qt::CheckState>({Qt::Checked, Qt::PartiallyChecked, Qt::Checked, Qt::Checked}));
  EXPECT_EQ(QStringList({dlg.Txt_user->text(), dlg.Txt_Pass->text(), dlg.Txt_sectobid->text()}),
            QStringList({"bieter", "geheim", "10"}));
  EXPECT_EQ(dlg.Txt_Pass->echoMode(), QLineEdit::Password);
  // A screen reader names each box by its label.
  const std::pair<QLineEdit*, QLabel*> named[] = {
      {dlg.Txt_user, dlg.Label1}, {dlg.Txt_Pass, dlg.Label2}, {dlg.Txt_sectobid, dlg.Label4}};
  for (const auto& [box, label] : named)
    EXPECT_EQ(QAccessible::queryAccessibleInterface(box)->text(QAccessible::Name), label->text());
  EXPECT_EQ(dlg.Txt_Pass->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                             dlg.Txt_Pass),
            '*');
  // No caption is cut off, and the check boxes are drawn on the window's colour, right of
  // their text too.
  for (QWidget* w : dlg.findChildren<QWidget*>()) {
    if (!qobject_cast<QCheckBox*>(w) && !qobject_cast<QLabel*>(w)) continue;
    EXPECT_LE(w->sizeHint().width(), w->width()) << w->objectName().toStdString();
  }
  const QImage box = dlg.Check_saveuser->grab().toImage();
  EXPECT_EQ(box.pixelColor(box.width() - 2, 2), dlg.palette().color(QPalette::Window));
}

TEST_F(Options, okTakesOverAndStoresEveryFieldWithThePasswordScrambledUnlessNotToBeSaved) {
  frmOptions dlg(*env.ctx, nullptr);
  dlg.show();  // so that typed keys reach the boxes
  QTest::mouseClick(dlg.Check_msgonsync, Qt::LeftButton);
  QTest::mouseClick(dlg.Check_synconstart, Qt::LeftButton);
  QTest::mouseClick(dlg.Check_Warnton, Qt::LeftButton);
  // Longer than the scrambling key, with a sign outside Latin-1 that Windows-1252 has.
  const QString pass = QStringLiteral("Pa$$wort ") + QString(100, QChar('x')) + "€";
  retype(dlg.Txt_user, QStringLiteral("neuer_bieter"));
  retype(dlg.Txt_Pass, pass.chopped(1));
  QTest::sendKeyEvent(QTest::KeyAction::Click, dlg.Txt_Pass, Qt::Key_unknown, "€", Qt::NoModifier);
  retype(dlg.Txt_sectobid, QStringLiteral("25"));
  QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(working(), QStringList({"0", "1", "0", "1", "neuer_bieter", pass, "25"}));
  EXPECT_EQ(stored(), QStringList({"0", "1", "0", "1", "neuer_bieter",
                                   cryptme(pass, scramble::passwordKey()), "25"}));
  EXPECT_EQ(decryptme(env.setting("pass"), scramble::passwordKey()), pass);
  EXPECT_TRUE(env.dialogs.infos.isEmpty() && env.dialogs.errors.isEmpty());

  // Without password saving the store forgets the account, but the run keeps it.
  frmOptions again(*env.ctx, nullptr);
  again.Check_saveuser->setChecked(false);
  again.Txt_Pass->setText(QStringLiteral("neu"));
  again.cmdOK->click();
  EXPECT_EQ(stored().mid(3, 3), QStringList({"0", "", ""}));
  EXPECT_EQ(QStringList({env.state.user, env.state.pass}), QStringList({"neuer_bieter", "neu"}));

  // Where a keyring answers the password goes there, "pass" stays empty; not saving it any
  // more removes it there too.
  env.keyring.available = true;
  frmOptions kept(*env.ctx, nullptr);
  kept.Check_saveuser->setChecked(true);
  kept.cmdOK->click();
  EXPECT_EQ(env.setting("pass"), "");
  EXPECT_EQ(env.keyring.secrets.value(savedpassword::kKeyringName), "neu");
  frmOptions forgotten(*env.ctx, nullptr);
  forgotten.Check_saveuser->setChecked(false);
  forgotten.cmdOK->click();
  EXPECT_TRUE(env.keyring.secrets.isEmpty());
}

// Cancel and the close box change nothing; OK with an invalid value (every rule and its text:
// the table of optionrules::faults) says why and keeps the dialog open, changing nothing either.
TEST_F(Options, cancelClosingOrAnInvalidValueChangeNothing) {
  const QStringList before = working(), storedBefore = stored();
  for (const char* action : {"cancel", "close", "ok"}) {
    SCOPED_TRACE(action);
    const QByteArray a(action);
    frmOptions dlg(*env.ctx, nullptr);
    dlg.show();
    dlg.Check_msgonsync->setChecked(false);
    dlg.Check_saveuser->setChecked(false);
    dlg.Txt_user->setText(QStringLiteral("anders"));
    dlg.Txt_sectobid->setText(QStringLiteral("0"));
    QSignalSpy accepted(&dlg, &QDialog::accepted);
    if (a == "cancel")
      QTest::mouseClick(dlg.cmdCancel, Qt::LeftButton);
    else if (a == "close")
      dlg.close();
    else
      dlg.cmdOK->click();
    EXPECT_EQ(accepted.count(), 0);
    EXPECT_EQ(dlg.isVisible(), a == "ok");
    EXPECT_EQ(working(), before);
    EXPECT_EQ(stored(), storedBefore);
  }
  EXPECT_EQ(env.dialogs.infos, QStringList{optionrules::faultMessage(optionrules::faults(
                                   {.sectobid = "0"}, false, RegionalFormat::german()))});
  EXPECT_EQ(env.dialogs.titles, QStringList{"GebotsfalkePlus"});
  for (const char* good : {" 7 ", "5,0"}) {  // stored as typed
    frmOptions dlg(*env.ctx, nullptr);
    dlg.Txt_sectobid->setText(QString::fromLatin1(good));
    dlg.cmdOK->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted) << good;
    EXPECT_EQ(env.setting(QStringLiteral("sectobid")), QString::fromLatin1(good));
  }
}

TEST_F(Options, enterInAnyFieldIsOkWithItsChecksAndEscapeIsCancel) {
  // As most people fill it in: into the name, Tab, the password, Enter.
  {
    frmOptions dlg(*env.ctx, nullptr);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    QTest::mouseClick(dlg.Txt_user, Qt::LeftButton);
    dlg.Txt_user->clear();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("demo_bieter"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), dlg.Txt_Pass);
    dlg.Txt_Pass->clear();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("geheim123"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(stored().mid(4, 2),
              QStringList({"demo_bieter", cryptme("geheim123", env.state.passwordKey)}));
  }
  const QStringList before = working();
  for (const auto key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
    // In the order Tab takes, from OK down.
    const char* fields[] = {"cmdOK",    "Check_msgonsync", "Check_synconstart", "Check_Warnton",
                            "Txt_user", "Txt_Pass",        "Check_saveuser",    "Txt_sectobid"};
    for (int tabs = 0; tabs < int(std::size(fields)); ++tabs) {
      const QString field = QLatin1String(fields[tabs]);
      SCOPED_TRACE(field.toStdString() + (key == Qt::Key_Escape ? " Escape" : " Enter"));
      frmOptions dlg(*env.ctx, nullptr);
      dlg.show();
      ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
      dlg.Txt_user->setText(QStringLiteral("anders"));
      // Tab takes the focus there from OK, where the dialog opens: the buttons' focus changes
      // are what decide which of them Enter presses.
      for (int i = 0; i < tabs; ++i) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      ASSERT_EQ(QApplication::focusWidget()->objectName(), field) << "the tab order";
      QSignalSpy accepted(&dlg, &QDialog::accepted), rejected(&dlg, &QDialog::rejected);
      QTest::keyClick(QApplication::focusWidget(), key);
      EXPECT_EQ(accepted.count(), key == Qt::Key_Escape ? 0 : 1);
      EXPECT_EQ(rejected.count(), key == Qt::Key_Escape ? 1 : 0);
      EXPECT_FALSE(dlg.isVisible());
      EXPECT_EQ(env.state.user, key == Qt::Key_Escape ? before[4] : QStringLiteral("anders"));
      env.state.user = before[4];
    }
  }
  EXPECT_EQ(working(), before);
  // Enter runs OK's check of the seconds: the dialog stays open and nothing is stored.
  const QStringList storedBefore = stored();
  frmOptions dlg(*env.ctx, nullptr);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
  dlg.Txt_sectobid->setFocus();
  dlg.Txt_sectobid->setText(QStringLiteral("0"));
  QTest::keyClick(dlg.Txt_sectobid, Qt::Key_Return);
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(env.dialogs.infos.size(), 1);
  EXPECT_EQ(stored(), storedBefore);
}

TEST_F(Options, checkBoxValueOutsideZeroToTwoStopsTheLoad) {
  env.state.warnton = 5;
  frmOptions dlg(*env.ctx, nullptr);
  EXPECT_EQ(env.dialogs.errors,
            QStringList({QStringLiteral("Fehlernummer:  380\r\nBeschreibung: Unzulässiger "
                                        "Eigenschaftswert\r\nProgrammteil: Form_Load(Opt)")}));
  EXPECT_EQ(dlg.Check_synconstart->checkState(), Qt::Unchecked);  // filled before
  EXPECT_EQ(dlg.Txt_user->text(), QString());                     // not filled any more
}

TEST_F(Options, opensNextToTheCursorButWhollyOnItsScreen) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const QPoint middle = area.center();
  QCursor::setPos(middle);
  {
    frmOptions dlg(*env.ctx, nullptr);
    EXPECT_EQ(dlg.pos(), QPoint(qRound(middle.x() - 500 / twips::perPixelX()),
                                qRound(middle.y() - 1800 / twips::perPixelY())));
  }
  QCursor::setPos(area.topLeft() + QPoint(5, 5));
  {
    frmOptions dlg(*env.ctx, nullptr);
    EXPECT_EQ(dlg.pos(), area.topLeft());
  }
  QCursor::setPos(area.bottomRight());
  frmOptions dlg(*env.ctx, nullptr);
  EXPECT_TRUE(area.contains(QRect(dlg.pos(), dlg.size())));
}
