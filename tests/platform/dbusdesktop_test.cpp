// The inhibitor lock and the notifications through D-Bus, against fake logind and notification
// services on buses of the test's own; and what happens when the services or the buses are
// not there.
#include <gtest/gtest.h>

#include <QTest>

#include "platform/linux/dbusnotifier.h"
#include "platform/linux/logindinhibitor.h"
#include "support/fakedesktop.h"
#include "support/privatebus.h"

namespace {
LazyBus busAt(const PrivateBus& bus, const char* name) {
  return LazyBus(PrivateBus::connector(bus.address(), name));
}

LazyBus nowhere() {
  return LazyBus(PrivateBus::connector("unix:path=/nonexistent/bus", "nowhere"));
}

// Lets events run until the condition holds (at most two seconds).
template <class Condition>
bool eventually(Condition condition) {
  return QTest::qWaitFor(condition, 2000);
}
}  // namespace

TEST(LogindInhibitor, aLockIsHeldUntilLetGoAndALateOneIsLetGoAtOnce) {
  PrivateBus system;
  ASSERT_TRUE(system.ok()) << "dbus-daemon could not be started";
  FakeLogind logind;
  ASSERT_TRUE(logind.serveOn(system.connect("service")));
  LogindInhibitor inhibitor("GebotsfalkePlus", busAt(system, "client1"));
  QStringList unavailable;
  const auto note = [&](const QString& reason) { unavailable.append(reason); };

  inhibitor.hold("Gebot für 1234567890 um 05.12.2026 19:00:05", note);
  ASSERT_TRUE(eventually([&] { return logind.held() == 1; }));
  const FakeLogind::Lock& lock = logind.locks.front();
  EXPECT_EQ(lock.what, "sleep:idle");
  EXPECT_EQ(lock.who, "GebotsfalkePlus");
  EXPECT_EQ(lock.why, "Gebot für 1234567890 um 05.12.2026 19:00:05");
  EXPECT_EQ(lock.mode, "block");

  inhibitor.hold("zweites", note);  // a new hold lets go of the old one
  ASSERT_TRUE(eventually([&] { return logind.locks.size() == 2 && logind.held() == 1; }));
  EXPECT_TRUE(logind.locks[0].released);
  inhibitor.release();
  EXPECT_TRUE(eventually([&] { return logind.held() == 0; }));

  // Let go before logind answered: the lock that comes is closed at once.
  inhibitor.hold("kurz", note);
  inhibitor.release();
  ASSERT_TRUE(eventually([&] { return logind.locks.size() == 3; }));
  EXPECT_TRUE(eventually([&] { return logind.held() == 0; }));

  // The program's end lets go too.
  {
    LogindInhibitor ending("GebotsfalkePlus", busAt(system, "client2"));
    ending.hold("Ende", note);
    ASSERT_TRUE(eventually([&] { return logind.held() == 1; }));
  }
  EXPECT_TRUE(eventually([&] { return logind.held() == 0; }));
  EXPECT_TRUE(unavailable.isEmpty());
}

TEST(LogindInhibitor, withoutLogindOrASystemBusItSaysWhyOnce) {
  PrivateBus system;
  ASSERT_TRUE(system.ok());
  for (bool withBus : {true, false}) {
    LogindInhibitor inhibitor("GebotsfalkePlus", withBus ? busAt(system, "nologind") : nowhere());
    QStringList unavailable;
    inhibitor.hold("Gebot", [&](const QString& reason) { unavailable.append(reason); });
    ASSERT_TRUE(eventually([&] { return !unavailable.isEmpty(); }));
    QTest::qWait(50);
    EXPECT_EQ(unavailable, QStringList(withBus ? "logind nicht erreichbar" : "kein Systembus"));
    inhibitor.release();
  }
}

TEST(DbusNotifier, theNotificationCarriesTitleTextAndIconAndAClickComesBack) {
  PrivateBus session;
  ASSERT_TRUE(session.ok());
  FakeNotifications server;
  ASSERT_TRUE(server.serveOn(session.connect("server")));
  DbusNotifier notifier("GebotsfalkePlus", "org.example.GebotsfalkePlus", ":/gebotsfalke.png",
                        busAt(session, "notifier"));
  int clicks = 0;
  notifier.notify("Lok & Wagen <H0>", "Sie haben\r\ndas höchste\r\nGebot abgegeben.",
                  [&] { ++clicks; });
  ASSERT_TRUE(eventually([&] { return server.shown.size() == 1; }));
  const FakeNotifications::Shown& s = server.shown.front();
  EXPECT_EQ(s.app, "GebotsfalkePlus");
  EXPECT_EQ(s.summary, "Lok & Wagen <H0>");  // the title is plain text
  EXPECT_EQ(s.body, "Sie haben\ndas höchste\nGebot abgegeben.");
  EXPECT_EQ(s.icon, "org.example.GebotsfalkePlus");
  EXPECT_EQ(s.desktopEntry, "org.example.GebotsfalkePlus");
  EXPECT_EQ(s.image, QSize(48, 48));
  EXPECT_TRUE(s.actions.contains("default"));

  notifier.notify("Zweiter", "a & b", {});
  ASSERT_TRUE(eventually([&] { return server.shown.size() == 2; }));
  EXPECT_EQ(server.shown[1].body, "a &amp; b");  // bodies may be read as markup
  server.click(server.shown[1].id);              // not the first one: nothing
  QTest::qWait(50);
  EXPECT_EQ(clicks, 0);
  server.click(s.id);
  EXPECT_TRUE(eventually([&] { return clicks == 1; }));
}

TEST(DbusNotifier, withoutANotificationServiceNothingHappens) {
  PrivateBus session;
  ASSERT_TRUE(session.ok());
  for (bool withBus : {true, false}) {
    DbusNotifier notifier("GebotsfalkePlus", "org.example.GebotsfalkePlus", {},
                          withBus ? busAt(session, "lonely") : nowhere());
    int clicks = 0;
    notifier.notify("Titel", "Text", [&] { ++clicks; });
    QTest::qWait(100);
    EXPECT_EQ(clicks, 0);
  }
}
