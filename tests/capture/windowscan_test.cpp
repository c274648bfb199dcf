#include <gtest/gtest.h>

#include "capture/scanview.h"
#include "capture/windowscan.h"
#include "support/testenv.h"
#include "support/texts.h"

namespace {

const QString kNokia =
    QStringLiteral("eBay Artikel 1234567890 (endet 05.12.26 20:00:00 MEZ) - Nokia 3310 Handy");
const QString kNokiaItem = QStringLiteral("1234567890 | Nokia 3310 Handy | 05.12.2026 20:00:00");
const QString kIdle = QStringLiteral(" GebotsfalkePlus 1.3.6");
const QString kNoItem = "no item " + kIdle +
                        " | Kein Artikel gewählt. | Öffnen Sie den Artikel\r\nim Web-Browser "
                        "oder\r\nkopieren Sie den Link\r\nzur Artikelseite und\r\nklicken "
                        "Sie auf\r\n'Artikel übernehmen'";

const quint64 kMainWindow = 0x7000;

// Handles of other programs' windows; handle 0 stands for the main window itself.
TopLevelWindow win(quint64 handle, const QString& title, bool visible = true,
                   bool bordered = true) {
  return TopLevelWindow{handle ? 0x40000000 + handle : kMainWindow, visible, bordered, title};
}

// What the scan tells the main window to show, one line per step, in order.
struct RecordingView : ScanView {
  quint64 ownWindowHandle() const override { return kMainWindow; }
  void scanStarted(const QString& caption) override { steps << "start " + caption; }
  void showBidControls() override { steps << "bid controls"; }
  void showItemTitle(const QString& caption) override { steps << "title " + caption; }
  void showItemEnd(const QString& titleLine) override { steps << "end " + titleLine; }
  void showNoItem(const QString& caption, const QString& titleLine, const QString& hint) override {
    steps << "no item " + caption + " | " + titleLine + " | " + hint;
  }
  QStringList steps;
};

// A scan with the start-up's style mask.
struct Scan {
  Scan() { env.state.taskWindowStyleMask = 0x10800000; }
  void run(QList<TopLevelWindow> windows) {
    env.windowList.list = windows;
    view.steps.clear();
    Finde_Alle_Fenster(*env.ctx, view);
  }
  void saveItem(const QString& id, const QString& title, const QString& end) {
    env.setSetting(QStringLiteral("ItemID"), id);
    env.setSetting(QStringLiteral("AuktionTitel"), title);
    env.setSetting(QStringLiteral("endet"), end);
  }
  TestEnv env;
  RecordingView view;
};

// item: "item number | auction title | end as shown".
void expectItemShown(Scan& s, const QString& item) {
  const QStringList p = item.split(QStringLiteral(" | "));
  EXPECT_EQ(s.env.state.ItemID + " | " + s.env.state.AuktionTitel, p[0] + " | " + p[1]);
  EXPECT_EQ(s.view.steps, QStringList({"start " + kIdle, "bid controls",
                                       "title " + p[1] + " Gebotsfalke", "end endet am " + p[2]}));
}

}  // namespace

TEST(Finde_Alle_Fenster, takesTheFirstAuctionPageOverByPositionAndCountsProgramWindowsBefore) {
  const QString rocket = QString::fromUtf8("\xF0\x9F\x9A\x80");
  const struct {
    const char* what;
    QList<TopLevelWindow> windows;
    QString item = kNokiaItem;
    int instances = 0;
    int thisYear = 2026;
  } cases[] = {
      {"any case, the title cut at 38 characters",
       {win(1, QStringLiteral("Firefox: EBAY-Artikel 9876543210 (ENDET 24.12.26 18:30:05 MEZ) - "
                              "Playmobil Ritterburg mit sehr langem Titel der abgeschnitten"))},
       "9876543210 | Playmobil Ritterburg mit sehr langem T | 24.12.2026 18:30:05"},
      {"without \") -\" the title starts at the fourth character",
       {win(1, kNokia.left(53) + QStringLiteral(" Nokia"))},
       "1234567890 | y Artikel 1234567890 (endet 05.12.26 2 | 05.12.2026 20:00:00"},
      {"control and bidi characters are dropped before the title is read",
       {win(1,
            QStringLiteral("eBay\a Artikel 1234567890 (endet 05.12.26 20:00:00 MEZ) - \u202ENokia"
                           "\u202C 3310\tHandy\u2067\u2069\u202A\u202B\u202D\u2066\u2068\x1b"))}},
      {"a twelve-digit item number is taken whole",
       {win(1, QStringLiteral("eBay Artikel 123456789012 (endet 05.12.26 20:00:00 MEZ) - Lok"))},
       "123456789012 | Lok | 05.12.2026 20:00:00"},
      {"the higher of two pages",
       {win(1, QStringLiteral("eBay Artikel 1111111111 (endet 01.02.27 10:00:00 MEZ) - Oben")),
        win(2, kNokia)},
       "1111111111 | Oben | 01.02.2027 10:00:00"},
      {"a two-digit year is the one nearest to today",
       {win(1, QStringLiteral("eBay Artikel 3333333333 (endet 05.12.31 20:00:00 MEZ) - 2031"))},
       "3333333333 | 2031 | 05.12.2031 20:00:00",
       0,
       2031},
      {"a character outside the basic plane counts once and is never cut",
       {win(1, kNokia.left(56) + QString(37, QChar('x')) + rocket + QStringLiteral("yz"))},
       "1234567890 | " + QString(37, QChar('x')) + rocket + " | 05.12.2026 20:00:00"},
      {"hidden windows, windows of no task, untitled and NUL-cut ones are skipped",
       {win(1, QStringLiteral("eBay Artikel 1111111111 (endet 01.02.27 10:00:00 MEZ)"), false),
        win(2, QStringLiteral("eBay Artikel 2222222222 (endet 01.02.27 10:00:00 MEZ)"), true,
            false),
        win(3, QString()), win(4, QStringLiteral("Gebotsfalke"), false, false),
        win(5, QString(u'\0') + QStringLiteral("Gebotsfalke eBay (endet 01.02.27)")),
        win(6, QStringLiteral("Editor")), win(7, kNokia)}},
      {"the program word counts in its exact case, before the page, never the main window",
       {win(0, QStringLiteral("eBay Artikel 5555555555 (endet 01.01.27 12:00:00 MEZ) - Mein "
                              "Gebotsfalke")),
        win(1, kIdle), win(2, QStringLiteral("gebotsfalke-notizen.txt")),
        win(3, QStringLiteral("Anderes Gebotsfalke")), win(4, kNokia),
        win(5, QStringLiteral("Noch ein Gebotsfalke"))},
       kNokiaItem,
       2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Scan s;
    s.env.clock.set(c.thisYear, 1, 2, 10, 0, 0);
    s.run(c.windows);
    expectItemShown(s, c.item);
    EXPECT_EQ(s.env.state.instanceCount, c.instances);
    EXPECT_TRUE(s.env.dialogs.errors.isEmpty());
  }
}

TEST(Finde_Alle_Fenster, bayOptionTakesTheSavedItemOnceAndOnlyWhenExact) {
  Scan s;
  const QList<TopLevelWindow> windows{win(1, QStringLiteral("Terminal")), win(2, kNokia)};
  s.env.state.commandLine = QStringLiteral("-bay");
  s.run({});  // no titled window: the option waits for one
  EXPECT_EQ(s.env.state.commandLine, QStringLiteral("-bay"));
  s.run(windows);  // nothing saved: the scan goes on as without the option
  EXPECT_EQ(s.env.state.commandLine, QString());
  EXPECT_EQ(s.env.state.ItemID, QStringLiteral("1234567890"));
  EXPECT_TRUE(s.env.dialogs.errors.isEmpty());
  s.saveItem(QStringLiteral("4444444444"), QStringLiteral("Gespeichert"),
             QStringLiteral("06.12.2026 21:15:00"));
  s.env.state.commandLine = QStringLiteral("-bay");
  s.run({win(2, kNokia)});  // the first titled window, whatever it shows
  EXPECT_EQ(s.env.state.commandLine, QString());
  expectItemShown(s, QStringLiteral("4444444444 | Gespeichert | 06.12.2026 21:15:00"));
  for (const QString& other :
       {QString(), QStringLiteral("-BAY"), QStringLiteral("-bay -time"), QStringLiteral(" -bay")}) {
    s.env.state.commandLine = other;
    s.run(windows);
    EXPECT_EQ(s.env.state.ItemID, QStringLiteral("1234567890")) << other.toStdString();
    EXPECT_EQ(s.env.state.commandLine, other);
  }
}

// An item whose number or end cannot be read is never shown: the window keeps the item it
// shows, or shows none; one message says why (for the saved item once in a run), no error box.
TEST(Finde_Alle_Fenster, anItemThatCannotBeReadIsNotShownAndSaidOnce) {
  const QString start = "start " + kIdle;
  const struct {
    const char* what;
    QString savedEnd;
    QString commandLine;
    bool nokiaBefore;
    QString title;
    QStringList steps;  // of each of two scans
    QStringList messages;
  } cases[] = {
      // clang-format off
      {"-bay, nothing saved (after an auction's end)", "", "-bay", false, "Terminal",
       {start, kNoItem}, {}},
      {"-bay, a saved end that is no date", "07.12.2026 25:99:00", "-bay", false, "Terminal",
       {start, kNoItem},
       {"Der gespeicherte Artikel ist nicht lesbar (Einstellung 'endet' ist kein Datum mit "
        "Uhrzeit: „07.12.2026 25:99:00“)."}},
      {"a title's end that is no date: the item shown stays", "", "", true,
       "eBay Artikel 1234567890 (endet 07.12.26 25:99:00 MEZ) - Lok", {},
       QStringList(2, "Im Fenstertitel ist das Auktionsende nicht lesbar.")},
      {"twenty digits are no item number", "", "", false,
       "eBay Artikel 12345678901234567890 (endet 05.12.26 20:00:00 MEZ) - Lok", {start, kNoItem},
       QStringList(2, "Im Fenstertitel ist keine Artikelnummer lesbar.")},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Scan s;
    if (c.nokiaBefore) s.run({win(1, kNokia)});
    if (!c.savedEnd.isEmpty()) s.saveItem("4444444444", "Gespeichert", c.savedEnd);
    s.env.state.commandLine = c.commandLine;
    QStringList messages;
    for (int scan = 0; scan < 2; ++scan) {
      s.run({win(1, c.title)});
      EXPECT_EQ(s.view.steps, c.steps);
    }
    for (const QString& e : s.env.dialogs.errors) messages << e.section("\r\n", 1);
    EXPECT_EQ(messages, c.messages);
    EXPECT_EQ(s.env.state.ItemID, c.nokiaBefore ? "1234567890" : "");
    EXPECT_EQ(s.env.state.endet != 0, c.nokiaBefore);
  }
}

TEST(Finde_Alle_Fenster, withoutAnAuctionPageShowsTheSavedItemElseTheHintOrWithoutWindowsResets) {
  // The saved item, with other windows open or none (the browser is not started yet).
  for (const QList<TopLevelWindow>& windows :
       {QList<TopLevelWindow>{win(1, QStringLiteral("Terminal"))}, QList<TopLevelWindow>{}}) {
    Scan saved;
    saved.saveItem(QStringLiteral("4444444444"), QStringLiteral("Gespeichert"),
                   QStringLiteral("06.12.2026"));
    saved.run(windows);
    expectItemShown(saved, QStringLiteral("4444444444 | Gespeichert | 06.12.2026"));
  }

  Scan none;
  none.run({win(1, kNokia)});  // an item first, then it is gone
  none.run({win(1, QStringLiteral("Terminal")), win(2, QStringLiteral("Dateien"))});
  EXPECT_EQ(none.env.state.ItemID, QString());
  EXPECT_EQ(none.env.state.endet, 0);
  EXPECT_EQ(none.view.steps, QStringList({"start " + kIdle, kNoItem}));

  // No titled window and nothing saved: only the reset.
  Scan reset;
  reset.run({win(1, kNokia)});
  reset.run({});
  EXPECT_EQ(reset.env.state.ItemID, QString());
  EXPECT_EQ(reset.env.state.endet, 0);
  EXPECT_EQ(reset.view.steps, QStringList{"start " + kIdle});
}
