#include "support/desktopbuses.h"

#include <gtest/gtest.h>

#include <QDBusPendingCallWatcher>
#include <QTest>

namespace {
QString address(const PrivateBus& bus, Desktop desktop) {
  return desktop == Desktop::kNoBuses ? QStringLiteral("unix:path=/nonexistent/bus")
                                      : bus.address();
}
QString uniqueName(const char* name) {
  static int connections = 0;
  return QString::fromLatin1(name) + QString::number(++connections);
}
}  // namespace

DesktopBuses::DesktopBuses(TestEnv& env, Desktop desktop)
    : systemName(uniqueName("window-system")),
      inhibitor("GebotsfalkePlus", LazyBus([a = address(system, desktop), name = systemName] {
                  return QDBusConnection::connectToBus(a, name);
                })),
      notifier("GebotsfalkePlus", "org.example.GebotsfalkePlus", ":/gebotsfalke.png",
               LazyBus(PrivateBus::connector(address(session, desktop), "window-session"))),
      services{env.clock, env.systemClock, env.windowList, env.sound,
               env.shell, env.dialogs,     env.processes,  env.programInfo,
               inhibitor, notifier,        env.clipboard,  env.keyring},
      ctx{env.state, services, *env.settings, env.inet1} {
  if (desktop == Desktop::kServices) {
    EXPECT_TRUE(logind.serveOn(system.connect("logind")));
    EXPECT_TRUE(server.serveOn(session.connect("notifications")));
  }
}

bool DesktopBuses::systemRoundTrip() {
  QDBusConnection bus(systemName);
  if (!bus.isConnected()) return true;  // no bus: every answer was given at once
  QDBusPendingCallWatcher call(bus.asyncCall(QDBusMessage::createMethodCall(
      "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId")));
  bool answered = false;
  QObject::connect(&call, &QDBusPendingCallWatcher::finished, [&] { answered = true; });
  return QTest::qWaitFor([&] { return answered; }, 3000);
}
