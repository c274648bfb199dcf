// The armed window keeps the computer awake through logind until every way out of the armed
// state, and announces a bid's outcome on the desktop when it is not the active window; against
// fake services on private buses, and without them. Under a dark desktop theme every window's
// texts stay readable.
#include <QCheckBox>
#include <QStyle>
#include <QStyleOption>
#include <cmath>

#include "options/ebayzugang.h"
#include "options/frmoptions.h"
#include "support/testwindow.h"
#include "update/frmupdate.h"

namespace {
// The window armed with 12,50, its inhibitor and notifier on the test's buses.
struct DesktopWindow : TestWindow {
  explicit DesktopWindow(Desktop on) : TestWindow(std::nullopt, on) {
    armWith("12,5");
    EXPECT_TRUE(env.state.armed);
  }
  QStringList logWithout(const QString& start) const {
    QStringList out;
    for (const QString& m : env.logMessages())
      if (!m.startsWith(start)) out.append(m);
    return out;
  }
  // Everything the window sent to the desktop before this call has arrived: a message of the
  // test's own, sent after it on the same connection, has (the bus keeps the order).
  bool notificationsDelivered() {
    desktop->notifier.notify("Sperre", "", {});
    return eventually([&] {
      return !desktop->server.shown.isEmpty() && desktop->server.shown.last().summary == "Sperre";
    });
  }
  static bool eventually(std::function<bool()> condition) {
    return QTest::qWaitFor(condition, 3000);
  }
};
}  // namespace

// Armed: one lock, "sleep:idle" in mode "block", naming the item and the moment of the bid; it
// is let go at once when the window disarms, when the bid is done and when the window closes.
TEST(KeepAwake, theLockIsHeldFromArmingToEveryWayOut) {
  for (const char* wayOut : {"disarm", "bid done", "window closed"}) {
    SCOPED_TRACE(wayOut);
    DesktopWindow w(Desktop::kServices);
    FakeLogind& logind = w.desktop->logind;
    ASSERT_TRUE(w.eventually([&] { return logind.held() == 1; }));
    const FakeLogind::Lock lock = logind.locks.front();
    EXPECT_EQ(lock.what, "sleep:idle");
    EXPECT_EQ(lock.mode, "block");
    EXPECT_EQ(lock.who, "GebotsfalkePlus");
    EXPECT_EQ(lock.why, "Gebot für 1234567890 um 05.12.2026 19:59:50");
    if (QString(wayOut) == "disarm") {
      QTest::mouseClick(w.ui.Command1, Qt::LeftButton);
    } else if (QString(wayOut) == "bid done") {
      w.evaluateAt(10);
    } else {
      w.form.close();
    }
    EXPECT_FALSE(w.env.state.armed);
    EXPECT_TRUE(w.eventually([&] { return logind.held() == 0; }));
    EXPECT_EQ(logind.locks.size(), 1);
  }
}

// While the window is active, an outcome is not announced (one that comes while another window
// is active is announced, and its click raises the window: the end-to-end desktop run).
TEST(KeepAwake, anOutcomeTheUserWatchesIsNotAnnounced) {
  DesktopWindow w(Desktop::kServices);
  w.form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w.form));
  w.evaluateAt(10);
  EXPECT_EQ(w.shown(), shown::kNoData);
  ASSERT_TRUE(w.notificationsDelivered());
  EXPECT_EQ(w.desktop->server.shown.size(), 1);  // the test's own only
}

// Without logind or a notification service, or without the buses at all, the snipe goes as
// before: one log line says the computer may fall asleep, and nothing else differs.
TEST(KeepAwake, withoutTheServicesNothingElseChanges) {
  DesktopWindow with(Desktop::kServices);
  with.evaluateAt(10);
  const QStringList expected = with.env.logMessages();
  const struct {
    Desktop desktop;
    QString reason;
  } cases[] = {
      {Desktop::kBusesOnly, "logind nicht erreichbar"},
      {Desktop::kNoBuses, "kein Systembus"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason.toStdString());
    const QString line = "Ruhezustand kann nicht verhindert werden: " + c.reason;
    DesktopWindow w(c.desktop);
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    ASSERT_TRUE(w.eventually([&] { return w.env.logMessages().contains(line); }));
    w.evaluateAt(10);
    ASSERT_TRUE(w.desktop->systemRoundTrip());
    EXPECT_EQ(w.env.logMessages().count(line), 1);
    EXPECT_EQ(w.logWithout("Ruhezustand"), expected);
    EXPECT_EQ(w.shown(), shown::kNoData);
    EXPECT_FALSE(w.env.state.armed);
    EXPECT_TRUE(w.env.dialogs.errors.isEmpty());
  }
}

namespace {
// The contrast ratio of two colours (1 to 21), by their relative luminance.
double contrast(QRgb a, QRgb b) {
  const auto luminance = [](QRgb c) {
    const auto linear = [](int v) {
      const double s = v / 255.0;
      return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(c)) + 0.7152 * linear(qGreen(c)) + 0.0722 * linear(qBlue(c));
  };
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// For every text the window shows: its strongest contrast against the colour most of the
// text's area has, its background, as painted.
void expectEveryTextReadable(QWidget& window) {
  const QImage shot = window.grab().toImage();
  for (QWidget* w : window.findChildren<QWidget*>()) {
    // The main window's Label2 is meant to be all but invisible.
    if (!w->isVisible() || (window.objectName() == "Form1" && w->objectName() == "Label2"))
      continue;
    QString text;
    QRect area = w->rect();
    if (auto* label = qobject_cast<QLabel*>(w)) {
      text = label->text();
    } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
      QStyleOptionButton option;
      option.initFrom(box);
      option.text = text = box->text();
      area = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    } else if (auto* button = qobject_cast<QPushButton*>(w)) {
      text = button->text();
      area.adjust(4, 4, -4, -4);  // inside the frame
    } else if (auto* field = qobject_cast<QLineEdit*>(w)) {
      text = field->text();
      area.adjust(3, 3, -3, -3);
    }
    if (text.isEmpty()) continue;
    area.translate(w->mapTo(&window, QPoint()));
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x) ++counts[shot.pixel(x, y)];
    const QRgb background =
        std::max_element(counts.keyValueBegin(), counts.keyValueEnd(), [](auto a, auto b) {
          return a.second < b.second;
        })->first;
    double strongest = 1;
    for (auto it = counts.keyBegin(); it != counts.keyEnd(); ++it)
      strongest = std::max(strongest, contrast(*it, background));
    EXPECT_GE(strongest, 2.5) << window.objectName().toStdString() << " "
                              << w->objectName().toStdString() << ": " << text.toStdString();
  }
}
}  // namespace

// A dark theme gives light text: wherever a window fixes a light background, it fixes the text
// colour with it. The main window with an item, disarmed and armed; the options; the update
// window.
TEST(DarkTheme, everyTextStandsOutFromItsBackground) {
  QPalette dark(Qt::white, QColor(53, 53, 53), QColor(80, 80, 80), QColor(20, 20, 20),
                QColor(40, 40, 40), Qt::white, Qt::white, QColor(30, 30, 30), QColor(45, 45, 45));
  dark.setColor(QPalette::ButtonText, Qt::white);
  const QPalette before = QApplication::palette();
  QApplication::setPalette(dark);
  {
    TestEnv env;
    env.setSetting("Update", "1.4.0");
    env.windowList.list = {
        {0x40000001, true, true,
         "eBay Artikel 1234567890 (endet 05.12.26 20:00:00 MEZ) - Nokia 3310 Handy"}};
    env.clock.set(2026, 12, 5, 19, 0, 0);
    env.state.siteTimeMeasuring = true;  // arming measures no clock here
    Form1 form(*env.ctx);
    form.Form1init();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    expectEveryTextReadable(form);
    env.state.user = "bieter";
    env.state.pass = "geheim";
    form.findChild<QLineEdit*>("Txt_maxbid")->setText("12,5");
    form.Command1_Click();
    ASSERT_TRUE(env.state.armed);
    expectEveryTextReadable(form);
    form.Command1_Click();

    frmOptions options(*env.ctx, &form);
    options.show();
    expectEveryTextReadable(options);
    EbayZugang zugang(*env.ctx, &options);  // opened from the options
    zugang.show();
    expectEveryTextReadable(zugang);
    FrmUpdate update(*env.ctx, &form);
    update.show();
    expectEveryTextReadable(update);
  }
  QApplication::setPalette(before);
}
