// What the window's tests (tests/sniper/desktop_test.cpp) cannot bring about: logind answering
// after the lock was let go already, a second hold, the program's end; a title and body with
// markup characters, a click on another program's notification.
#include <gtest/gtest.h>

#include <QTest>

#include "platform/linux/dbusnotifier.h"
#include "platform/linux/logindinhibitor.h"
#include "support/fakedesktop.h"
#include "support/privatebus.h"

namespace {
bool eventually(std::function<bool()> condition) {
  return QTest::qWaitFor(condition, 2000);
}
}  // namespace

TEST(LogindInhibitor, aLockIsLetGoOnEveryWayEvenWhenItComesLate) {
  PrivateBus system;
  ASSERT_TRUE(system.ok()) << "dbus-daemon could not be started";
  FakeLogind logind;
  ASSERT_TRUE(logind.serveOn(system.connect("service")));
  QStringList unavailable;
  const auto note = [&](const QString& reason) { unavailable.append(reason); };
  {
    LogindInhibitor inhibitor("GebotsfalkePlus",
                              LazyBus(PrivateBus::connector(system.address(), "a")));
    inhibitor.hold("erstes", note);
    inhibitor.hold("zweites", note);  // lets go of the first, also before its answer
    ASSERT_TRUE(eventually([&] { return logind.locks.size() == 2 && logind.held() == 1; }));
    EXPECT_EQ(logind.locks[1].why, "zweites");
    inhibitor.release();
    EXPECT_TRUE(eventually([&] { return logind.held() == 0; }));

    inhibitor.hold("kurz", note);
    inhibitor.release();  // before logind answered: the lock that comes is closed at once
    ASSERT_TRUE(eventually([&] { return logind.locks.size() == 3; }));
    EXPECT_TRUE(eventually([&] { return logind.held() == 0; }));

    inhibitor.hold("bis zum Ende", note);
    ASSERT_TRUE(eventually([&] { return logind.held() == 1; }));
  }  // the program ends
  EXPECT_TRUE(eventually([&] { return logind.held() == 0; }));
  EXPECT_TRUE(unavailable.isEmpty());
}

TEST(DbusNotifier, markupIsEscapedAndOnlyItsOwnNotificationsClickBack) {
  PrivateBus session;
  ASSERT_TRUE(session.ok());
  FakeNotifications server;
  ASSERT_TRUE(server.serveOn(session.connect("server")));
  DbusNotifier notifier("GebotsfalkePlus", "org.example.GebotsfalkePlus", {},
                        LazyBus(PrivateBus::connector(session.address(), "notifier")));
  int clicks = 0;
  notifier.notify("Lok & Wagen <H0>", "a & b\r\n<c>", [&] { ++clicks; });
  ASSERT_TRUE(eventually([&] { return server.shown.size() == 1; }));
  EXPECT_EQ(server.shown[0].summary, "Lok & Wagen <H0>");   // the title is plain text
  EXPECT_EQ(server.shown[0].body, "a &amp; b\n&lt;c&gt;");  // bodies may be read as markup
  EXPECT_EQ(server.shown[0].image, QSize());                // no icon file, no pixels
  server.click(server.shown[0].id + 1);
  server.CloseNotification(server.shown[0].id);
  server.click(server.shown[0].id);  // closed: forgotten
  // A click on a later notification comes after those (the bus keeps the order).
  bool laterClicked = false;
  notifier.notify("später", "", [&] { laterClicked = true; });
  ASSERT_TRUE(eventually([&] { return server.shown.size() == 2; }));
  server.click(server.shown[1].id);
  ASSERT_TRUE(eventually([&] { return laterClicked; }));
  EXPECT_EQ(clicks, 0);
}
