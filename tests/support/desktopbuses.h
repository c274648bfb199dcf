#pragma once

// The desktop's services as the program finds them: the real logind inhibitor and notifier on
// private buses, with fake logind and notification services serving there, only the buses, or
// no buses at all. The other services are the test environment's fakes.
#include "app/context.h"
#include "platform/linux/dbusnotifier.h"
#include "platform/linux/logindinhibitor.h"
#include "platform/services.h"
#include "support/fakedesktop.h"
#include "support/privatebus.h"
#include "support/testenv.h"

enum class Desktop { kServices, kBusesOnly, kNoBuses };

struct DesktopBuses {
  DesktopBuses(TestEnv& env, Desktop desktop);
  // A round trip to the bus daemon on the inhibitor's connection: every answer to what the
  // inhibitor asked before has been handled when it returns true (the daemon answers in order).
  bool systemRoundTrip();

  PrivateBus system, session;
  QString systemName;  // the inhibitor's connection
  FakeLogind logind;
  FakeNotifications server;
  LogindInhibitor inhibitor;
  DbusNotifier notifier;
  Services services;
  // The environment's Inet1 is connected to its handler already (TestEnv), which collects the
  // replies into the same shared values.
  AppContext ctx;
};
