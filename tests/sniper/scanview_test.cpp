// What the main window shows of the browser scan: "Artikel übernehmen" clicked with an auction
// page open, with no window at all, and with other windows only.
#include <gtest/gtest.h>

#include <QTest>

#include "app/twips.h"
#include "sniper/form1.h"
#include "support/controls.h"
#include "support/testenv.h"

namespace {
const QString kIdle = QStringLiteral(" GebotsfalkePlus 1.3.6");
// Both ways to an item, also before the first scan (a Wayland desktop lists no browser).
const QString kHint = QStringLiteral(
    "Öffnen Sie den Artikel\r\nim Web-Browser oder\r\nkopieren Sie den Link\r\nzur "
    "Artikelseite und\r\nklicken Sie auf\r\n'Artikel übernehmen'");

// The main window as the user sees it: caption, title line and its tooltip, the controls shown,
// whether the countdown runs, and the colour and pointer of "Link zum Artikel".
QString view(const Form1& f) {
  const QLabel* title = control<QLabel>(f, "Label1");
  QStringList parts{f.caption(), title->text(), title->toolTip().replace('\n', " / ")};
  for (const char* name : {"Txt_maxbid", "Command1", "LabelZeit", "Lbl_NoAuction", "Lbl_GoItem"})
    if (!control<QWidget>(f, name)->isHidden()) parts << QString::fromLatin1(name);
  const auto* link = control<LinkLabel>(f, "Lbl_GoItem");
  parts << (f.timer1Enabled() ? "countdown" : "stopped")
        << link->foreColor().name() + (hasCustomPointer(link) ? " hand" : "");
  return parts.join(QStringLiteral(" | "));
}
}  // namespace

TEST(ScanInTheWindow, showsTheItemThenOnlyTheResetThenTheHintCentredOnTheLeftPanel) {
  TestEnv env;
  env.state.taskWindowStyleMask = 0x10800000;
  env.state.sectobid = QStringLiteral("10");
  Form1 form(*env.ctx);
  form.show();
  EXPECT_EQ(control<QLabel>(form, "Lbl_NoAuction")->text(), kHint);
  auto takeOver = [&](const QList<TopLevelWindow>& windows) {
    env.windowList.list = windows;
    QTest::mouseClick(control<LinkLabel>(form, "Lbl_GetArtikel"), Qt::LeftButton);
  };

  // The tooltip names the item with its whole title, without the browser's name.
  const QString nokia = "eBay Artikel 1234567890 (endet 05.12.26 20:00:00 MEZ) - Nokia 3310 Handy";
  takeOver({{0x40000001, true, true,
             nokia + " mit Ladegerät, Originalverpackung und Rechnung — Mozilla Firefox"}});
  EXPECT_EQ(view(form),
            "Nokia 3310 Handy mit Ladegerät, Origin Gebotsfalke | endet am 05.12.2026 20:00:00 | "
            "Artikel 1234567890 / Nokia 3310 Handy mit Ladegerät, Originalverpackung und Rechnung "
            "| Txt_maxbid | Command1 | LabelZeit | Lbl_GoItem | countdown | #0000ff hand");
  // The amount typed stays for the same item and goes for another.
  auto* amount = control<QLineEdit>(form, "Txt_maxbid");
  amount->setText("20,00");
  takeOver({{0x40000001, true, true, nokia}});
  EXPECT_EQ(amount->text(), "20,00");
  takeOver({{0x40000001, true, true, QString(nokia).replace("1234567890", "9876543210")}});
  EXPECT_EQ(amount->text(), "");

  // No titled window and nothing saved: the reset leaves the title line and the countdown label.
  takeOver({});
  EXPECT_EQ(view(form), kIdle +
                            " | endet am 05.12.2026 20:00:00 | Artikel 9876543210 / Nokia 3310 "
                            "Handy | LabelZeit | Lbl_GoItem | stopped | #808080");

  takeOver({{0x40000001, true, true, "Terminal"}, {0x40000002, true, true, "Dateien"}});
  EXPECT_EQ(view(form),
            kIdle + " | Kein Artikel gewählt. |  | Lbl_NoAuction | Lbl_GoItem | stopped | #808080");
  const auto* hint = control<QLabel>(form, "Lbl_NoAuction");
  const auto* panel = control<QWidget>(form, "Shape2");
  EXPECT_EQ(hint->text(), kHint);
  EXPECT_NEAR(twips::top(hint) + twips::height(hint) / 2,
              twips::top(panel) + twips::height(panel) / 2, twips::perPixelY(&form));
  EXPECT_GT(twips::height(hint), 6 * 150);  // six lines of 10-point text
  EXPECT_TRUE(env.dialogs.errors.isEmpty());
}
