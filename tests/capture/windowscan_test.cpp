#include <gtest/gtest.h>

#include "app/dateserial.h"
#include "app/twips.h"
#include "capture/titlerules.h"
#include "capture/windowscan.h"
#include "sniper/form1.h"
#include "support/testenv.h"

namespace {

const QString kNokia =
    QStringLiteral("eBay Artikel 1234567890 (endet 05.12.26 20:00:00 MEZ) - Nokia 3310 Handy");
const QString kHint = QStringLiteral(
    "Öffnen Sie den Artikel,\r\nauf den Sie bieten\r\nmöchten, in Ihrem\r\nWeb-Browser "
    "und\r\nklicken Sie auf\r\n'Artikel übernehmen'");

// Handles far away from the ones the offscreen platform gives its own windows (1, 2, ...).
TopLevelWindow win(quint64 handle, const QString& title, bool visible = true,
                   bool bordered = true) {
  return TopLevelWindow{0x40000000 + handle, visible, bordered, title};
}

// The main window with the start-up's style mask, not yet scanned.
struct Scan {
  Scan() {
    env.state.taskWindowStyleMask = 0x10800000;
    env.state.sectobid = QStringLiteral("10");  // as read at start-up
  }
  void run(const QList<TopLevelWindow>& windows) {
    env.windowList.list = windows;
    Finde_Alle_Fenster(form);
  }
  TestEnv env;
  Form1 form{*env.ctx};
};

void expectItemShown(Scan& s, const QString& caption, const QString& label1) {
  EXPECT_EQ(s.form.caption(), caption);
  EXPECT_EQ(s.form.Label1->text(), label1);
  EXPECT_EQ(s.form.Label1->font().pointSizeF(), 11);
  EXPECT_FALSE(s.form.Txt_maxbid->isHidden() || s.form.Command1->isHidden() ||
               s.form.LabelZeit->isHidden() || s.form.Lbl_GoItem->isHidden());
  EXPECT_TRUE(s.form.Lbl_NoAuction->isHidden());
  EXPECT_TRUE(s.form.timer1Enabled());
  EXPECT_EQ(s.form.Lbl_GoItem->foreColor(), QColor(0, 0, 255));
  EXPECT_TRUE(hasCustomPointer(s.form.Lbl_GoItem));
}

}  // namespace

TEST(Finde_Alle_Fenster, auctionPageFillsTheItemAndShowsTheCountdown) {
  Scan s;
  s.run({win(7, QStringLiteral("Editor")), win(8, kNokia)});
  EXPECT_EQ(s.env.state.ItemID, QStringLiteral("1234567890"));
  EXPECT_EQ(s.env.state.AuktionTitel, QStringLiteral("Nokia 3310 Handy"));
  EXPECT_EQ(s.env.state.endet, dateserial::fromParts({2026, 12, 5, 20, 0, 0}));
  expectItemShown(s, QStringLiteral("Nokia 3310 Handy Gebotsfalke"),
                  QStringLiteral("endet am 05.12.2026 20:00:00"));
  EXPECT_TRUE(s.env.dialogs.errors.isEmpty());
}

TEST(Finde_Alle_Fenster, titlesAreReadByPositionWhateverTheCaseAndTheHigherPageWins) {
  struct Case {
    QList<TopLevelWindow> windows;
    QString itemId, auktionTitel;
    double endet;
  };
  const Case cases[] = {
      {{win(1, QStringLiteral("Firefox: EBAY-Artikel 9876543210 (ENDET 24.12.26 18:30:05 MEZ) - "
                              "Playmobil Ritterburg mit sehr langem Titel der abgeschnitten"))},
       QStringLiteral("9876543210"),
       QStringLiteral("Playmobil Ritterburg mit sehr langem T"),
       dateserial::fromParts({2026, 12, 24, 18, 30, 5})},
      // Without ") -" the auction title starts at the title's fourth character.
      {{win(1, QStringLiteral("eBay Artikel 1234567890 (endet 05.12.26 20:00:00 MEZ) Nokia"))},
       QStringLiteral("1234567890"),
       QStringLiteral("y Artikel 1234567890 (endet 05.12.26 2"),
       dateserial::fromParts({2026, 12, 5, 20, 0, 0})},
      {{win(1, QStringLiteral("eBay Artikel 1111111111 (endet 01.02.27 10:00:00 MEZ) - Oben")),
        win(2, kNokia)},
       QStringLiteral("1111111111"),
       QStringLiteral("Oben"),
       dateserial::fromParts({2027, 2, 1, 10, 0, 0})},
  };
  for (const Case& c : cases) {
    Scan s;
    s.run(c.windows);
    EXPECT_EQ(s.env.state.ItemID, c.itemId);
    EXPECT_EQ(s.env.state.AuktionTitel, c.auktionTitel);
    EXPECT_EQ(s.env.state.endet, c.endet);
    EXPECT_EQ(s.form.caption(), c.auktionTitel + QStringLiteral(" Gebotsfalke"));
  }
}

TEST(Finde_Alle_Fenster, countsProgramWindowsOnlyByTheExactWordAndOnlyBeforeTheAuctionPage) {
  Scan s;
  // The main window heads the list; its auction-like caption must not be looked at.
  const quint64 self = static_cast<quint64>(s.form.winId());
  s.run(
      {TopLevelWindow{self, true, true,
                      QStringLiteral("eBay Artikel 5555555555 (endet 01.01.27 12:00:00 MEZ) - Mein "
                                     "Gebotsfalke")},
       win(1, QStringLiteral(" GebotsfalkePlus 1.3.6")),
       win(2, QStringLiteral("gebotsfalke-notizen.txt")),
       win(3, QStringLiteral("Anderes Gebotsfalke")), win(4, kNokia),
       win(5, QStringLiteral("Noch ein Gebotsfalke"))});
  EXPECT_EQ(s.env.state.instanceCount, 2);
  EXPECT_EQ(s.env.state.ItemID, QStringLiteral("1234567890"));
}

TEST(Finde_Alle_Fenster, hiddenBorderlessAndUntitledWindowsAreSkipped) {
  Scan s;
  s.run({win(1, QStringLiteral("eBay Artikel 1111111111 (endet 01.02.27 10:00:00 MEZ) - Versteckt"),
             false, true),
         win(2, QStringLiteral("eBay Artikel 2222222222 (endet 01.02.27 10:00:00 MEZ) - Rahmenlos"),
             true, false),
         win(3, QString()), win(4, QStringLiteral("Gebotsfalke"), false, false),
         win(5, QString(u'\0') + QStringLiteral("Gebotsfalke eBay (endet 01.02.27 10:00:00)")),
         win(6, kNokia)});
  EXPECT_EQ(s.env.state.ItemID, QStringLiteral("1234567890"));
  EXPECT_EQ(s.env.state.instanceCount, 0);
}

TEST(Finde_Alle_Fenster, bayOptionTakesTheSavedItemOnceAndOnlyWhenExact) {
  Scan s;
  s.env.setSetting(QStringLiteral("ItemID"), QStringLiteral("4444444444"));
  s.env.setSetting(QStringLiteral("AuktionTitel"), QStringLiteral("Gespeicherter Artikel"));
  s.env.setSetting(QStringLiteral("endet"), QStringLiteral("06.12.2026 21:15:00"));
  const QList<TopLevelWindow> windows{win(1, QStringLiteral("Terminal")), win(2, kNokia)};

  s.env.state.commandLine = QStringLiteral("-bay");
  s.run({});  // no titled window: the option waits for one
  EXPECT_EQ(s.env.state.commandLine, QStringLiteral("-bay"));
  s.run({win(2, kNokia)});  // the first titled window, whatever it shows
  EXPECT_EQ(s.env.state.commandLine, QString());
  EXPECT_EQ(s.env.state.ItemID, QStringLiteral("4444444444"));
  EXPECT_EQ(s.env.state.AuktionTitel, QStringLiteral("Gespeicherter Artikel"));
  EXPECT_EQ(s.env.state.endet, dateserial::fromParts({2026, 12, 6, 21, 15, 0}));
  expectItemShown(s, QStringLiteral("Gespeicherter Artikel Gebotsfalke"),
                  QStringLiteral("endet am 06.12.2026 21:15:00"));
  s.run(windows);  // the next scan works normally
  EXPECT_EQ(s.env.state.ItemID, QStringLiteral("1234567890"));

  for (const QString& other :
       {QStringLiteral("-BAY"), QStringLiteral("-bay -time"), QStringLiteral(" -bay")}) {
    s.env.state.commandLine = other;
    s.run(windows);
    EXPECT_EQ(s.env.state.ItemID, QStringLiteral("1234567890")) << other.toStdString();
    EXPECT_EQ(s.env.state.commandLine, other);
  }
}

TEST(Finde_Alle_Fenster, endTimeThatIsNoDateEndsTheScanWithItsErrorBox) {
  Scan s;
  s.run({win(1, QStringLiteral("eBay Artikel 1234567890 (endet morgen früh) - Nokia 3310 Handy")),
         win(2, kNokia)});
  ASSERT_EQ(s.env.dialogs.errors.size(), 1);
  EXPECT_EQ(s.env.dialogs.errors[0], QStringLiteral("Fehlernummer:  13\r\nBeschreibung: Typen "
                                                    "unverträglich\r\nProgrammteil: "
                                                    "Finde_Alle_Fenster"));
  // What was set before the conversion stays; the countdown is not started.
  EXPECT_EQ(s.env.state.ItemID, QStringLiteral("1234567890"));
  EXPECT_EQ(s.form.caption(), QStringLiteral("Nokia 3310 Handy Gebotsfalke"));
  EXPECT_EQ(s.env.state.endet, 0);
  EXPECT_FALSE(s.form.timer1Enabled());

  // The same for a saved end time that is empty when "-bay" asks for it.
  Scan bay;
  bay.env.state.commandLine = QStringLiteral("-bay");
  bay.run({win(1, QStringLiteral("Terminal"))});
  ASSERT_EQ(bay.env.dialogs.errors.size(), 1);
  EXPECT_TRUE(bay.env.dialogs.errors[0].endsWith(QStringLiteral("Finde_Alle_Fenster")));
}

TEST(Finde_Alle_Fenster, withoutAnAuctionPageShowsTheSavedItemOrTheHint) {
  Scan saved;
  saved.env.setSetting(QStringLiteral("ItemID"), QStringLiteral("4444444444"));
  saved.env.setSetting(QStringLiteral("AuktionTitel"), QStringLiteral("Gespeichert"));
  saved.env.setSetting(QStringLiteral("endet"), QStringLiteral("06.12.2026"));
  saved.run({win(1, QStringLiteral("Terminal"))});
  EXPECT_EQ(saved.env.state.ItemID, QStringLiteral("4444444444"));
  expectItemShown(saved, QStringLiteral("Gespeichert Gebotsfalke"),
                  QStringLiteral("endet am 06.12.2026"));

  Scan none;
  none.run({win(1, kNokia)});  // an item first, then it is gone
  none.run({win(1, QStringLiteral("Terminal")), win(2, QStringLiteral("Dateien"))});
  Form1& f = none.form;
  EXPECT_EQ(none.env.state.ItemID, QString());
  EXPECT_EQ(none.env.state.endet, 0);
  EXPECT_EQ(f.caption(), QStringLiteral(" GebotsfalkePlus 1.3.6"));
  EXPECT_EQ(f.Label1->text(), QStringLiteral("Kein Artikel gewählt."));
  EXPECT_EQ(f.Lbl_NoAuction->text(), kHint);
  EXPECT_EQ(f.Lbl_NoAuction->font().pointSizeF(), 10);
  EXPECT_FALSE(f.Lbl_NoAuction->isHidden());
  EXPECT_NEAR(twips::top(f.Lbl_NoAuction) + twips::height(f.Lbl_NoAuction) / 2,
              twips::top(f.Shape2) + twips::height(f.Shape2) / 2, twips::perPixelY(&f));
  EXPECT_GT(twips::height(f.Lbl_NoAuction), 6 * 150);  // six lines of 10-point text
  EXPECT_TRUE(f.LabelZeit->isHidden() && f.Txt_maxbid->isHidden() && f.Command1->isHidden());
  EXPECT_FALSE(f.timer1Enabled());
  EXPECT_EQ(f.Lbl_GoItem->foreColor(), QColor(128, 128, 128));
  EXPECT_FALSE(hasCustomPointer(f.Lbl_GoItem));
}

TEST(Finde_Alle_Fenster, noTitledWindowLeavesOnlyTheReset) {
  Scan s;
  s.run({win(1, kNokia)});
  s.run({});
  EXPECT_EQ(s.env.state.ItemID, QString());
  EXPECT_EQ(s.env.state.endet, 0);
  EXPECT_EQ(s.form.caption(), QStringLiteral(" GebotsfalkePlus 1.3.6"));
  EXPECT_FALSE(s.form.timer1Enabled());
  // The reset alone does not touch the title line or the hint.
  EXPECT_EQ(s.form.Label1->text(), QStringLiteral("endet am 05.12.2026 20:00:00"));
  EXPECT_TRUE(s.form.Lbl_NoAuction->isHidden());
}

TEST(TitleRules, aCharacterOutsideTheBasicPlaneCountsOnceAndIsNeverCut) {
  using namespace titlerules;
  const QString rocket = QString::fromUtf8("\xF0\x9F\x9A\x80");
  const QString t = rocket + QStringLiteral("eBay") + rocket + QStringLiteral("x");
  EXPECT_EQ(position(t, QStringLiteral("ebay")), 2);
  EXPECT_EQ(mid(t, 6, 1), rocket);
  EXPECT_EQ(mid(t, 7, 5), QStringLiteral("x"));
  EXPECT_EQ(mid(t, 5, 2), QStringLiteral("y") + rocket);
}
