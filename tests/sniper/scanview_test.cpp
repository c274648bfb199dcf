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

// The main window as the user sees it: caption, title line, the controls shown, whether the
// countdown runs, and the colour and pointer of "Link zum Artikel".
QString view(const Form1& f) {
  QStringList parts{f.caption(), control<QLabel>(f, "Label1")->text()};
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

  takeOver({{0x40000001, true, true,
             "eBay Artikel 1234567890 (endet 05.12.26 20:00:00 MEZ) - Nokia 3310 Handy"}});
  EXPECT_EQ(view(form),
            "Nokia 3310 Handy Gebotsfalke | endet am 05.12.2026 20:00:00 | Txt_maxbid | Command1 "
            "| LabelZeit | Lbl_GoItem | countdown | #0000ff hand");

  // No titled window and nothing saved: the reset leaves the title line and the countdown label.
  takeOver({});
  EXPECT_EQ(view(form), kIdle +
                            " | endet am 05.12.2026 20:00:00 | LabelZeit | Lbl_GoItem | "
                            "stopped | #808080");

  takeOver({{0x40000001, true, true, "Terminal"}, {0x40000002, true, true, "Dateien"}});
  EXPECT_EQ(view(form),
            kIdle + " | Kein Artikel gewählt. | Lbl_NoAuction | Lbl_GoItem | stopped | #808080");
  const auto* hint = control<QLabel>(form, "Lbl_NoAuction");
  const auto* panel = control<QWidget>(form, "Shape2");
  EXPECT_EQ(hint->text(), kHint);
  EXPECT_NEAR(twips::top(hint) + twips::height(hint) / 2,
              twips::top(panel) + twips::height(panel) / 2, twips::perPixelY(&form));
  EXPECT_GT(twips::height(hint), 6 * 150);  // six lines of 10-point text
  EXPECT_TRUE(env.dialogs.errors.isEmpty());
}
