// Taking the item over from a copied or dropped link: the main window against its simulator.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QMimeData>
#include <QTest>
#include <QTimeZone>

#include "capture/itemfetch.h"
#include "capture/itemlink.h"
#include "support/testwindow.h"

namespace {

const char* const kLok = "1234567890";
const QString kLokLink = "https://www.ebay.de/itm/Lok/1234567890?hash=item1#desc";
const QString kLokShown = "1234567890 | Märklin Lok & Tender | endet am 05.12.2026 19:10:00";
const QString kEarlier = "1111111111 | Vorher | endet am 06.12.2026 12:00:00";

// Sim end times, in German time as the site writes them; the test clock stands at 19:00:00.
sim::Item item(const char* id, const char* title, int hour, int minute) {
  sim::Item i;
  i.id = id;
  i.title = title;
  i.endMs = QDateTime(QDate(2026, 12, 5), QTime(hour, minute), QTimeZone("Europe/Berlin"))
                .toMSecsSinceEpoch();
  return i;
}

sim::Config takeOverSite(const std::string& fault = "") {
  sim::Config c;
  c.items = {item(kLok, "Märklin Lok & Tender", 19, 10), item("2222222222", "Vorbei", 18, 59),
             item("123456789012", "Zwölfstellig", 20, 0)};
  c.itemFault = fault;
  return c;
}

// The window after start-up, showing the item "Vorher" that it took over from a browser
// window; the browser window is gone again, as happens when the user opened another tab.
struct TakeOver : TestWindow {
  explicit TakeOver(sim::Config config = takeOverSite()) : TestWindow(std::move(config)) {
    env.state.taskWindowStyleMask = 0x10800000;
    browser("eBay Artikel 1111111111 (endet 06.12.26 12:00:00 MEZ) - Vorher");
    click();
    browser("Terminal");
    EXPECT_EQ(item(), kEarlier);
  }
  void browser(const QString& title) { env.windowList.list = {{0x40000001, true, true, title}}; }
  void click() { QTest::mouseClick(ui.Lbl_GetArtikel, Qt::LeftButton); }
  ItemPageFetch* fetch() { return form.findChild<ItemPageFetch*>("ItemPageFetch"); }
  // Waits until the page has come and been dealt with.
  void settle() {
    EXPECT_TRUE(QTest::qWaitFor([&] { return !fetch()->running(); }, 10000));
  }
  // "item number | auction title | what the top strip says", with the bid controls, the
  // countdown and the caption checked against it.
  QString item() {
    const AppState& s = env.state;
    const bool itemShown = ui.Txt_maxbid->isVisible() && ui.LabelZeit->isVisible() &&
                           !control<QWidget>(form, "Lbl_NoAuction")->isVisible() &&
                           form.caption() == s.AuktionTitel + " Gebotsfalke" &&
                           ui.Timer1->isActive();
    return s.ItemID + " | " + s.AuktionTitel + " | " + control<QLabel>(form, "Label1")->text() +
           (itemShown ? "" : " (not shown as an item)");
  }
  int pageRequests() const {
    int n = 0;
    for (const QJsonObject& r : server->requests())
      n += r["path"].toString().startsWith("/ws/eBayISAPI.dll?ViewItem") ? 1 : 0;
    return n;
  }
  // The second line of each message shown.
  QStringList messages() const {
    QStringList out;
    for (const QString& m : env.dialogs.errors) out.append(m.section("\r\n", 1));
    return out;
  }
};

void dropOn(QWidget* target, QMimeData* data, bool* accepted = nullptr) {
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (accepted) *accepted = enter.isAccepted();
  if (!enter.isAccepted()) return;
  QDropEvent drop(at, Qt::CopyAction | Qt::LinkAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
}

}  // namespace

// "Artikel übernehmen" with something in the clipboard: a browser window with an auction page
// wins, a link or number loads its page, anything else does what the click always did. Only a
// page of a running auction replaces the current item; otherwise one message says why (every
// refusal and its text: the table of itempage::judge; what names an item: ItemLink's).
TEST(ItemTakeOver, theClickTakesTheClipboardsItemWhenNoWindowShowsOne) {
  const struct {
    const char* what;
    QString clipboard;
    QString window = "Terminal";
    std::string fault;
    QString shown;
    QString message;
    int requests = 1;
  } cases[] = {
      {"a link", kLokLink, "Terminal", "", kLokShown, ""},
      {"a longer number than the title's: the link's stays", "123456789012", "Terminal", "",
       "123456789012 | Zwölfstellig | endet am 05.12.2026 20:00:00", ""},
      {"a browser window wins", kLokLink,
       "eBay Artikel 3333333333 (endet 07.12.26 10:00:00 MEZ) - Im Browser", "",
       "3333333333 | Im Browser | endet am 07.12.2026 10:00:00", "", 0},
      {"no link: nothing saved, other windows", "Lok", "Terminal", "",
       " | Vorher | Kein Artikel gewählt. (not shown as an item)", "", 0},
      {"an ended auction", "2222222222", "Terminal", "", kEarlier,
       "Die Auktion ist bereits beendet."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TakeOver t(takeOverSite(c.fault));
    t.env.clipboard.content = c.clipboard;
    t.browser(c.window);
    t.click();
    t.settle();
    EXPECT_EQ(t.item(), c.shown);
    EXPECT_EQ(t.messages(), c.message.isEmpty() ? QStringList() : QStringList{c.message});
    EXPECT_EQ(t.pageRequests(), c.requests);
    // The log keeps what happened, with the item number asked for.
    const QString logged = t.env.logMessages().join("\n");
    if (c.requests) {
      EXPECT_TRUE(logged.contains("Artikel übernehmen: " + itemlink::itemNumber(c.clipboard)))
          << logged;
    }
  }
}

// A site that never answers: the window goes on counting while it waits, and when the load
// gives up the item is the one before, with the message.
TEST(ItemTakeOver, aHangingItemHostLeavesTheItemAndTheCountdownRunning) {
  TakeOver t(takeOverSite("hang"));
  t.fetch()->transfer().setTimeoutMs(1500);
  int ticks = 0;
  QObject::connect(t.ui.Timer1, &QTimer::timeout, [&] { ++ticks; });
  t.env.clipboard.content = kLokLink;
  t.click();
  EXPECT_TRUE(t.fetch()->running());
  EXPECT_EQ(t.form.cursor().shape(), Qt::BusyCursor);
  t.settle();
  EXPECT_GE(ticks, 2);
  EXPECT_EQ(t.item(), kEarlier);
  EXPECT_EQ(t.messages(), QStringList{"Die Artikelseite konnte nicht geladen werden."});
  EXPECT_EQ(t.form.cursor().shape(), Qt::ArrowCursor);
  EXPECT_TRUE(
      t.env.logMessages().contains("Artikel übernehmen: 1234567890 nicht übernommen - "
                                   "Artikelseite nicht geladen (keine Antwort)"));
}

// Armed while the page loads: the item stays under the armed bid, and the user is told.
TEST(ItemTakeOver, aPageArrivingWhileArmedDoesNotReplaceTheItem) {
  TakeOver t;
  t.env.clipboard.content = kLokLink;
  t.env.state.user = "bieter";
  t.env.state.pass = "geheim";
  t.click();
  t.ui.Txt_maxbid->setText("5");
  t.form.Command1_Click();
  ASSERT_TRUE(t.env.state.armed);
  t.settle();
  EXPECT_EQ(t.env.state.ItemID, "1111111111");
  EXPECT_EQ(t.messages(), QStringList{"Solange ein Gebot scharfgestellt ist, bleibt der Artikel."});
  // While armed, a drop is refused at once.
  bool accepted = true;
  auto* data = new QMimeData;
  data->setText(kLokLink);
  dropOn(&t.form, data, &accepted);
  delete data;
  EXPECT_FALSE(accepted);
  EXPECT_EQ(t.pageRequests(), 1);
}

// A link dropped on the window, the amount field included, takes its item over without looking
// at browser windows; a drop that names no item is refused.
TEST(ItemTakeOver, aDroppedLinkTakesItsItemOver) {
  TakeOver t;
  t.browser("eBay Artikel 3333333333 (endet 07.12.26 10:00:00 MEZ) - Im Browser");
  QMimeData lok;
  lok.setUrls({QUrl("https://www.ebay.de/itm/1234567890")});
  lok.setText("https://www.ebay.de/itm/1234567890");
  QMimeData words;
  words.setText("Märklin Lok");
  bool accepted = true;
  dropOn(&t.form, &words, &accepted);
  EXPECT_FALSE(accepted);
  dropOn(t.ui.Txt_maxbid, &lok, &accepted);
  EXPECT_TRUE(accepted);
  t.settle();
  EXPECT_EQ(t.item(), kLokShown);
  EXPECT_EQ(t.ui.Txt_maxbid->text(), "");
  EXPECT_EQ(t.pageRequests(), 1);
}

// At start the window is shown at once with what the scan found (here: the saved item), and the
// clipboard's item follows when its page has come; "-bay" keeps the saved item.
TEST(ItemTakeOver, theStartUpShowsTheWindowAndTakesTheClipboardsItemLater) {
  for (const bool savedAsked : {false, true}) {
    SCOPED_TRACE(savedAsked ? "-bay" : "no option");
    SimServer server(takeOverSite());
    TestEnv env;
    env.setSetting("ItemID", "4444444444");
    env.setSetting("AuktionTitel", "Gespeichert");
    env.setSetting("endet", "06.12.2026 10:00:00");
    env.clipboard.content = kLokLink;
    env.state.endpoints = server.endpoints();
    Form1 form(*env.ctx);
    env.state.commandLine = savedAsked ? "-bay" : "";
    form.Form1init();
    auto* fetch = form.findChild<ItemPageFetch*>("ItemPageFetch");
    EXPECT_EQ(fetch->running(), !savedAsked);
    EXPECT_EQ(env.state.ItemID, "4444444444");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !fetch->running(); }, 10000));
    EXPECT_EQ(env.state.ItemID, savedAsked ? "4444444444" : kLok);
  }
}
