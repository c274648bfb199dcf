#pragma once

// The program's real operating-system services as the benchmarks run the main window with them:
// everything as a user has it, except that the clock may never be set (a benchmark run by the
// superuser must not move the machine's clock) and notifications name the benchmark.
#include <QString>

#include "benchclock.h"
#include "platform/linux/alsasound.h"
#include "platform/linux/dbusnotifier.h"
#include "platform/linux/desktop.h"
#include "platform/linux/logindinhibitor.h"
#include "platform/linux/qtclipboard.h"
#include "platform/linux/qtkeyring.h"
#include "platform/linux/systemclockbackend.h"
#include "platform/linux/x11windowlist.h"
#include "platform/services.h"

namespace bench {

struct RealServices {
  // `home` is the program folder the processes service gives out.
  explicit RealServices(const QString& home) : processes(home) {}
  RealServices(const RealServices&) = delete;
  RealServices& operator=(const RealServices&) = delete;

  QtClock clock;
  UnsettableClock systemClock;
  X11WindowList windowList;
  AlsaSound sound;
  QtShell shell;
  QtDialogs dialogs;
  QtProcesses processes;
  LinuxProgramInfo programInfo;
  LogindInhibitor sleepInhibitor{QStringLiteral("GebotsfalkePlus"), LazyBus::system()};
  DbusNotifier notifier{QStringLiteral("GebotsfalkePlus"), QStringLiteral("gebotsfalke-bench"),
                        QString(), LazyBus::session()};
  QtClipboard clipboard;
  QtKeyring keyring;
  Services services{clock,     systemClock, windowList,     sound,    shell,     dialogs,
                    processes, programInfo, sleepInhibitor, notifier, clipboard, keyring};
};

}  // namespace bench
