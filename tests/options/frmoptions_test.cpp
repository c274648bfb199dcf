#include <gtest/gtest.h>

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>

#include "app/scramble.h"
#include "app/twips.h"
#include "options/frmoptions.h"
#include "support/testenv.h"

namespace {
// A user with stored options, as Form1init would have read them.
struct Options : ::testing::Test {
  TestEnv env;
  QStringList keys{"msgonsync", "synconstart", "warnton", "saveuser", "user", "pass", "sectobid"};

  Options() {
    AppState& s = env.state;
    s.msgonsync = 1;
    s.synconstart = 0;
    s.warnton = 1;
    s.saveuser = 1;
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
    return {QString::number(s.msgonsync),
            QString::number(s.synconstart),
            QString::number(s.warnton),
            QString::number(s.saveuser),
            s.user,
            s.pass,
            s.sectobid};
  }
  static void retype(QLineEdit* box, const QString& text) {
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
  }
};
}  // namespace

TEST_F(Options, loadShowsTheWorkingValuesInTheDesign) {
  env.state.synconstart = 2;
  frmOptions dlg(*env.ctx, nullptr);
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Optionen  -  GebotsfalkePlus 1.3.6"));
  const QList<Qt::CheckState> checks{Qt::Checked, Qt::PartiallyChecked, Qt::Checked, Qt::Checked};
  EXPECT_EQ(
      QList<Qt::CheckState>({dlg.Check_msgonsync->checkState(), dlg.Check_synconstart->checkState(),
                             dlg.Check_Warnton->checkState(), dlg.Check_saveuser->checkState()}),
      checks);
  EXPECT_EQ(QStringList({dlg.Txt_user->text(), dlg.Txt_Pass->text(), dlg.Txt_sectobid->text()}),
            QStringList({"bieter", "geheim", "10"}));
  EXPECT_EQ(dlg.Txt_Pass->echoMode(), QLineEdit::Password);
  EXPECT_EQ(dlg.Txt_Pass->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                             dlg.Txt_Pass),
            '*');

  EXPECT_NEAR(twips::width(&dlg), 3780, 15);
  EXPECT_NEAR(twips::height(&dlg), 3720, 15);
  const struct {
    const char* name;
    int l, t, w, h;
  } design[] = {
      {"Check_msgonsync", 120, 120, 3615, 495}, {"Check_synconstart", 120, 600, 3615, 495},
      {"Check_Warnton", 120, 1080, 3615, 495},  {"Txt_user", 120, 1680, 1575, 285},
      {"Txt_Pass", 1920, 1680, 1575, 285},      {"Label1", 120, 2040, 1215, 255},
      {"Label2", 1920, 2040, 1455, 255},        {"Check_saveuser", 120, 2280, 3255, 375},
      {"Txt_sectobid", 120, 2760, 495, 285},    {"Label4", 840, 2760, 2415, 255},
      {"cmdOK", 705, 3135, 1095, 375},          {"cmdCancel", 1935, 3135, 1095, 375}};
  for (const auto& d : design) {
    auto* w = dlg.findChild<QWidget*>(QString::fromLatin1(d.name));
    ASSERT_TRUE(w) << d.name;
    EXPECT_NEAR(twips::left(w), d.l, 15) << d.name;
    EXPECT_NEAR(twips::top(w), d.t, 15) << d.name;
    EXPECT_NEAR(twips::width(w), d.w, 15) << d.name;
    EXPECT_NEAR(twips::height(w), d.h, 15) << d.name;
    EXPECT_DOUBLE_EQ(w->font().pointSizeF(), 8.25) << d.name;
    // No caption is cut off.
    if (qobject_cast<QCheckBox*>(w) || qobject_cast<QLabel*>(w)) {
      EXPECT_LE(w->sizeHint().width(), w->width()) << d.name;
    }
  }
  EXPECT_EQ(dlg.palette().color(QPalette::Window), QColor(255, 255, 239));
  // The check boxes are drawn on the window's colour, right of their text too.
  const QImage box = dlg.Check_saveuser->grab().toImage();
  EXPECT_EQ(box.pixelColor(box.width() - 2, 2), QColor(255, 255, 239));
  EXPECT_EQ(dlg.cmdCancel->palette().color(QPalette::Button), QColor(224, 224, 224));

  QStringList chain;
  QWidget* w = dlg.cmdOK;
  do {
    if (w->focusPolicy() & Qt::TabFocus) chain << w->objectName();
    w = w->nextInFocusChain();
  } while (w != dlg.cmdOK);
  EXPECT_EQ(chain,
            QStringList({"cmdOK", "Check_msgonsync", "Check_synconstart", "Check_Warnton",
                         "Txt_user", "Txt_Pass", "Check_saveuser", "Txt_sectobid", "cmdCancel"}));
}

TEST_F(Options, okTakesOverAndStoresEveryFieldWithThePasswordScrambled) {
  frmOptions dlg(*env.ctx, nullptr);
  dlg.show();  // so that typed keys reach the boxes
  QTest::mouseClick(dlg.Check_msgonsync, Qt::LeftButton);
  QTest::mouseClick(dlg.Check_synconstart, Qt::LeftButton);
  QTest::mouseClick(dlg.Check_Warnton, Qt::LeftButton);
  retype(dlg.Txt_user, QStringLiteral("neuer_bieter"));
  retype(dlg.Txt_Pass, QStringLiteral("Pa$$wort 2"));
  retype(dlg.Txt_sectobid, QStringLiteral("2,5"));
  QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(working(), QStringList({"0", "1", "0", "1", "neuer_bieter", "Pa$$wort 2", "2,5"}));
  const QStringList s = stored();
  EXPECT_EQ(s.mid(0, 5), QStringList({"0", "1", "0", "1", "neuer_bieter"}));
  EXPECT_EQ(s[5], cryptme(QStringLiteral("Pa$$wort 2"), scramble::passwordKey()));
  EXPECT_EQ(s[6], QStringLiteral("2,5"));
  EXPECT_TRUE(env.dialogs.infos.isEmpty());
}

TEST_F(Options, withoutPasswordSavingTheStoreForgetsTheAccountButTheRunKeepsIt) {
  frmOptions dlg(*env.ctx, nullptr);
  dlg.Check_saveuser->setChecked(false);
  dlg.Txt_Pass->setText(QStringLiteral("neu"));
  dlg.cmdOK->click();
  EXPECT_EQ(env.setting(QStringLiteral("user")), QString());
  EXPECT_EQ(env.setting(QStringLiteral("pass")), QString());
  EXPECT_EQ(env.setting(QStringLiteral("saveuser")), QStringLiteral("0"));
  EXPECT_EQ(env.state.user, QStringLiteral("bieter"));
  EXPECT_EQ(env.state.pass, QStringLiteral("neu"));
}

TEST_F(Options, cancelAndClosingTheWindowChangeNothing) {
  const QStringList before = working();
  for (int closeWindow = 0; closeWindow < 2; ++closeWindow) {
    frmOptions dlg(*env.ctx, nullptr);
    dlg.show();
    dlg.Check_msgonsync->setChecked(false);
    dlg.Check_saveuser->setChecked(false);
    dlg.Txt_user->setText(QStringLiteral("anders"));
    dlg.Txt_sectobid->setText(QStringLiteral("20"));
    QSignalSpy rejected(&dlg, &QDialog::rejected);
    if (closeWindow) {
      dlg.close();
    } else {
      QTest::mouseClick(dlg.cmdCancel, Qt::LeftButton);
    }
    EXPECT_EQ(rejected.count(), 1);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(working(), before);
    EXPECT_EQ(stored()[0], QStringLiteral("stored msgonsync"));
    EXPECT_EQ(stored()[4], QStringLiteral("stored user"));
  }
}

TEST_F(Options, secondsOutsideOneToThreeHundredKeepTheDialogOpenAndChangeNothing) {
  const QStringList before = working();
  for (const char* bad : {"0", "301", "300,5", "0,5", "zehn", "", "10s"}) {
    frmOptions dlg(*env.ctx, nullptr);
    dlg.Txt_user->setText(QStringLiteral("anders"));
    dlg.Txt_sectobid->setText(QString::fromLatin1(bad));
    QSignalSpy accepted(&dlg, &QDialog::accepted);
    dlg.cmdOK->click();
    EXPECT_EQ(accepted.count(), 0) << bad;
    EXPECT_EQ(working(), before) << bad;
    EXPECT_EQ(stored()[4], QStringLiteral("stored user")) << bad;
  }
  ASSERT_EQ(env.dialogs.infos.size(), 7);
  EXPECT_EQ(
      env.dialogs.infos[0],
      QStringLiteral("Das Formular enthält ungültige Werte:\r\n\r\n'Sekunden vor Ende bieten' "
                     "muss zwischen 1 und 300 betragen\r\n"));
  EXPECT_EQ(env.dialogs.titles[0], QStringLiteral("GebotsfalkePlus"));
  for (const char* good : {"1", "300", " 7 ", "1,5"}) {
    frmOptions dlg(*env.ctx, nullptr);
    dlg.Txt_sectobid->setText(QString::fromLatin1(good));
    dlg.cmdOK->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted) << good;
    EXPECT_EQ(env.setting(QStringLiteral("sectobid")), QString::fromLatin1(good));
  }
  EXPECT_EQ(env.dialogs.infos.size(), 7);
}

TEST_F(Options, whileArmedNameAndPasswordMustNotBeEmptyEither) {
  env.state.armed = true;
  frmOptions dlg(*env.ctx, nullptr);
  dlg.Txt_user->clear();
  dlg.Txt_Pass->clear();
  dlg.Txt_sectobid->setText(QStringLiteral("400"));
  dlg.cmdOK->click();
  EXPECT_EQ(env.dialogs.infos.value(0),
            QStringLiteral("Das Formular enthält ungültige Werte:\r\n\r\neBay Name darf nicht leer "
                           "sein\r\nPasswort darf nicht leer sein\r\n'Sekunden vor Ende bieten' "
                           "muss zwischen 1 und 300 betragen\r\n"));
  EXPECT_EQ(env.state.user, QStringLiteral("bieter"));
}

TEST_F(Options, passwordLongerThanTheKeyIsStoredAndReadBack) {
  const QString longPass = QString(100, QChar('x')) + QStringLiteral("äöü!");
  frmOptions dlg(*env.ctx, nullptr);
  dlg.Txt_Pass->setText(longPass);
  dlg.cmdOK->click();
  EXPECT_TRUE(env.dialogs.errors.isEmpty());
  EXPECT_EQ(decryptme(env.setting(QStringLiteral("pass")), scramble::passwordKey()), longPass);
}

TEST_F(Options, checkBoxValueOutsideZeroToTwoStopsTheLoad) {
  env.state.warnton = 5;
  frmOptions dlg(*env.ctx, nullptr);
  EXPECT_EQ(env.dialogs.errors,
            QStringList({QStringLiteral("Fehlernummer:  380\r\nBeschreibung: Unzulässiger "
                                        "Eigenschaftswert\r\nProgrammteil: Form_Load(Opt)")}));
  EXPECT_EQ(dlg.Check_synconstart->checkState(), Qt::Unchecked);  // filled before the fault
  EXPECT_EQ(dlg.Check_msgonsync->checkState(), Qt::Checked);
  EXPECT_EQ(dlg.Check_saveuser->checkState(), Qt::Unchecked);  // not filled any more
  EXPECT_EQ(dlg.Txt_user->text(), QString());
}

TEST_F(Options, opensNextToTheCursorButWhollyOnItsScreen) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const double tx = twips::perPixelX(), ty = twips::perPixelY();
  const QPoint middle = area.center();
  QCursor::setPos(middle);
  {
    frmOptions dlg(*env.ctx, nullptr);
    EXPECT_EQ(dlg.pos(), QPoint(qRound(middle.x() - 500 / tx), qRound(middle.y() - 1800 / ty)));
  }
  QCursor::setPos(area.topLeft() + QPoint(5, 5));
  {
    frmOptions dlg(*env.ctx, nullptr);
    EXPECT_EQ(dlg.pos(), area.topLeft());
  }
  QCursor::setPos(area.bottomRight());
  {
    frmOptions dlg(*env.ctx, nullptr);
    EXPECT_LE(dlg.x() + dlg.width(), area.right() + 1);
    EXPECT_LE(dlg.y() + dlg.height(), area.bottom() + 1);
    EXPECT_GE(dlg.x(), area.left());
  }
}
