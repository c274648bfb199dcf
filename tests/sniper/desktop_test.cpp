// The armed window keeps the computer awake through logind until every way out of the armed
// state, and announces a bid's outcome on the desktop when it is not the active window; against
// fake services on private buses, and without them.
#include "platform/linux/dbusnotifier.h"
#include "platform/linux/logindinhibitor.h"
#include "sniperfixture.h"
#include "support/fakedesktop.h"
#include "support/privatebus.h"

namespace {
const QString kNoData = "Keine Daten vom\neBay-Server erhalten.\nInternetverbindung prüfen.";

enum class Desktop { kServices, kBusesOnly, kNoBuses };

LazyBus busFor(const PrivateBus& bus, Desktop desktop, const char* name) {
  return LazyBus(PrivateBus::connector(
      desktop == Desktop::kNoBuses ? QStringLiteral("unix:path=/nonexistent/bus") : bus.address(),
      name));
}

// The window of SniperWindow, with the real inhibitor and notifier on the test's buses.
struct DesktopWindow {
  explicit DesktopWindow(Desktop desktop)
      : inhibitor("GebotsfalkePlus", busFor(system, desktop, "window-system")),
        notifier("GebotsfalkePlus", "org.example.GebotsfalkePlus", ":/gebotsfalke.png",
                 busFor(session, desktop, "window-session")) {
    if (desktop == Desktop::kServices) {
      EXPECT_TRUE(logind.serveOn(system.connect("logind")));
      EXPECT_TRUE(server.serveOn(session.connect("notifications")));
    }
    watchTestItem(env.state);
    form.findChild<QLineEdit*>("Txt_maxbid")->show();
    form.findChild<QPushButton*>("Command1")->show();
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.findChild<QLineEdit*>("Txt_maxbid")->setText("12,5");
    form.Command1_Click();
    EXPECT_TRUE(env.state.armed);
  }
  // The window's countdown `seconds` before the end.
  void evaluateAt(qint64 seconds) {
    env.clock.setMs((dateserial::toLinearSeconds(env.state.endet) - seconds) * 1000);
    form.Update_Label();
  }
  QStringList logWithout(const QString& start) const {
    QStringList out;
    for (const QString& m : env.logMessages())
      if (!m.startsWith(start)) out.append(m);
    return out;
  }

  PrivateBus system, session;
  FakeLogind logind;
  FakeNotifications server;
  LogindInhibitor inhibitor;
  DbusNotifier notifier;
  TestEnv env;
  Services services{env.clock, env.systemClock, env.windowList, env.sound,
                    env.shell, env.dialogs,     env.processes,  env.programInfo,
                    inhibitor, notifier,        env.clipboard,  env.keyring};
  // The environment's Inet1 is connected to its handler already (TestEnv), which collects the
  // replies into the same shared values.
  AppContext ctx{env.state, services, *env.settings, env.inet1};
  Form1 form{ctx};
};

bool eventually(std::function<bool()> condition) {
  return QTest::qWaitFor(condition, 3000);
}
}  // namespace

// Armed: one lock, "sleep:idle" in mode "block", naming the item and the moment of the bid; it
// is let go at once when the window disarms, when the bid is done and when the window closes.
TEST(KeepAwake, theLockIsHeldFromArmingToEveryWayOut) {
  for (const char* wayOut : {"disarm", "bid done", "window closed"}) {
    SCOPED_TRACE(wayOut);
    DesktopWindow w(Desktop::kServices);
    ASSERT_TRUE(eventually([&] { return w.logind.held() == 1; }));
    const FakeLogind::Lock lock = w.logind.locks.front();
    EXPECT_EQ(lock.what, "sleep:idle");
    EXPECT_EQ(lock.mode, "block");
    EXPECT_EQ(lock.who, "GebotsfalkePlus");
    EXPECT_EQ(lock.why, "Gebot für 1234567890 um 05.12.2026 19:59:50");
    if (QString(wayOut) == "disarm") {
      QTest::mouseClick(w.form.findChild<QPushButton*>("Command1"), Qt::LeftButton);
    } else if (QString(wayOut) == "bid done") {
      w.evaluateAt(10);
    } else {
      w.form.close();
    }
    EXPECT_FALSE(w.env.state.armed);
    EXPECT_TRUE(eventually([&] { return w.logind.held() == 0; }));
    EXPECT_EQ(w.logind.locks.size(), 1);
  }
}

// While the window is active, an outcome is not announced (one that comes while another window
// is active is announced, and its click raises the window: the end-to-end desktop run).
TEST(KeepAwake, anOutcomeTheUserWatchesIsNotAnnounced) {
  DesktopWindow w(Desktop::kServices);
  w.form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w.form));
  w.evaluateAt(10);
  EXPECT_EQ(w.form.labelZeitCaption(), kNoData);
  QTest::qWait(200);
  EXPECT_TRUE(w.server.shown.isEmpty());
}

// Without logind or a notification service, or without the buses at all, the snipe goes as
// before: one log line says the computer may fall asleep, and nothing else differs.
TEST(KeepAwake, withoutTheServicesNothingElseChanges) {
  DesktopWindow with(Desktop::kServices);
  with.evaluateAt(10);
  const QStringList expected = with.env.logMessages();
  const struct {
    Desktop desktop;
    QString line;
  } cases[] = {
      {Desktop::kBusesOnly, "Ruhezustand kann nicht verhindert werden: logind nicht erreichbar"},
      {Desktop::kNoBuses, "Ruhezustand kann nicht verhindert werden: kein Systembus"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line.toStdString());
    DesktopWindow w(c.desktop);
    QWidget other;
    other.show();
    other.activateWindow();
    QTest::qWaitForWindowActive(&other);
    ASSERT_TRUE(eventually([&] { return w.env.logMessages().contains(c.line); }));
    w.evaluateAt(10);
    QTest::qWait(100);
    EXPECT_EQ(w.env.logMessages().count(c.line), 1);
    EXPECT_EQ(w.logWithout("Ruhezustand"), expected);
    EXPECT_EQ(w.form.labelZeitCaption(), kNoData);
    EXPECT_FALSE(w.env.state.armed);
    EXPECT_TRUE(w.env.dialogs.errors.isEmpty());
  }
}
