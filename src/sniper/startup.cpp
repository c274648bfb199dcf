#include "sniper/startup.h"

#include <QApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QStyleFactory>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>

#include "app/appstate.h"
#include "app/commandline.h"
#include "app/errortrap.h"
#include "app/logfile.h"
#include "app/scramble.h"
#include "app/settings.h"
#include "app/version.h"
#include "bidding/inet.h"
#include "bidding/transfer.h"
#include "options/ebayzugang.h"
#include "platform/dialogs.h"
#include "platform/linux/alsasound.h"
#include "platform/linux/coredumps.h"
#include "platform/linux/dbusgroupbus.h"
#include "platform/linux/dbusnotifier.h"
#include "platform/linux/desktop.h"
#include "platform/linux/logindinhibitor.h"
#include "platform/linux/qtclipboard.h"
#include "platform/linux/qtkeyring.h"
#include "platform/linux/qtplatform.h"
#include "platform/linux/systemclockbackend.h"
#include "platform/linux/x11windowlist.h"
#include "platform/processes.h"
#include "platform/services.h"
#include "sniper/form1.h"
#include "sniper/listrun.h"
#include "timesync/clockonly.h"
#include "timesync/gettime.h"
#include "update/staging.h"

bool Main(AppContext& ctx, Form1& form, const QStringList& arguments) {
  AppState& st = ctx.state;
  bool keepRunning = false;
  trap(ctx, "Main", [&] {
    st.passwordKey = scramble::passwordKey();
    st.commandLine = arguments.join(QChar(' '));
    st.InstallTag = version::installTag();
    QStringList problems;
    const QString folder = ctx.services.programInfo.programFolder();
    st.endpoints = Endpoints::load(folder, &problems);
    if (!problems.isEmpty())
      ctx.services.dialogs.errorBox(Endpoints::unreadableNotice(folder, problems),
                                    version::appTitle());

    if (isClockOnlyRun(st.commandLine)) {
      // Clock-only run: no window, no start or end line, no settings of its own.
      form.setTimer1Enabled(false);
      get_time(ctx, form, &form);
      return;
    }
    CheckLogfileSize(ctx);
    // The download folder of an update that was killed midway. Not while another instance
    // runs: it may be downloading into its own.
    if (!ctx.services.processes.previousInstance()) UpdateStaging::removeLeftovers(folder);
    WriteLog(ctx, QStringLiteral("GebotsfalkePlus gestartet - Version ") + version::full());
    form.Form1init();
    st.helpFile = ctx.services.programInfo.programFolder() + QStringLiteral("/gebotsfalkeplus.chm");
    form.show();
    keepRunning = true;
    // Over the main window once the program runs (closing the program then ends it too).
    if (isEbayZugangOption(st.commandLine)) {
      QTimer::singleShot(0, &form, [&ctx, &form] {
        EbayZugang dialog(ctx, &form);
        ctx.services.dialogs.exec(dialog);
      });
    }
    if (st.synconstart == 1) {
      form.setTimer1Enabled(false);
      get_time(ctx, form, &form, &form);
      form.setTimer1Enabled(true);
    }
  });
  return keepRunning && form.isVisible();
}

namespace {
int g_signalPipe[2] = {-1, -1};

void onTerminationSignal(int) {
  const char c = 1;
  [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// SIGTERM and SIGINT close the main window as its close button would, so the settings and the
// end line are written.
void closeOnTerminationSignals(Form1& form) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &form);
  QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form] {
    char c;
    [[maybe_unused]] ssize_t n = ::read(g_signalPipe[0], &c, 1);
    form.close();
  });
  struct sigaction sa {};
  sa.sa_handler = onTerminationSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
}
}  // namespace

int runProgram(int argc, char** argv) {
  disableCoreDumps();
  if (isListRun(argc, argv)) return runList(argc, argv);
  QStringList given;
  for (int i = 1; i < argc; ++i) given << QString::fromLocal8Bit(argv[i]);
  const commandline::Parsed commandLine = commandline::parse(given);
  // Help and version are printed without a window, so without a display.
  if (commandLine.request != commandline::Request::Run) {
    const QString text = commandLine.request == commandline::Request::Help
                             ? commandline::helpText()
                             : commandline::versionText();
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return 0;
  }
  // The "-time" run shows no window, so it needs no display (cron has none), and what its
  // boxes would say goes to standard error.
  const bool clockOnly = isClockOnlyRun(commandLine.text);
  if (clockOnly) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Only failures of the run reach standard error, not Qt's notes about the environment
    // (QT_LOGGING_RULES still brings them back).
    QLoggingCategory::setFilterRules(
        QStringLiteral("*.debug=false\n*.info=false\n*.warning=false"));
  }
  qtplatform::applyToEnvironment();
  // Without a display Qt would abort; the user is told what is missing instead.
  if (const QString problem = qtplatform::displayProblem(); !problem.isEmpty()) {
    std::fputs((QStringLiteral("GebotsfalkePlus: ") + problem +
                QStringLiteral(" Ohne sie läuft nur „gebotsfalkeplus -time“.\n"))
                   .toLocal8Bit()
                   .constData(),
               stderr);
    return 1;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("GebotsfalkePlus"));
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  // Error boxes may outlive the main window; closing it ends the program all the same.
  QApplication::setQuitOnLastWindowClosed(false);

  QtClock clock;
  PosixSystemClock systemClock;
  X11WindowList windowList;
  AlsaSound sound;
  QtShell shell;
  QtDialogs windowDialogs;
  StderrDialogs consoleDialogs;
  Dialogs& dialogs = clockOnly ? static_cast<Dialogs&>(consoleDialogs) : windowDialogs;
  LinuxProgramInfo programInfo;
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  QtProcesses processes(runtime.isEmpty() ? QDir::tempPath() : runtime);
  // Both buses are connected only when first needed (arming, a bid's outcome).
  LogindInhibitor sleepInhibitor(version::appTitle(), LazyBus::system());
  DbusNotifier notifier(version::appTitle(), version::desktopId(),
                        QStringLiteral(":/gebotsfalke.png"), LazyBus::session());
  QtClipboard clipboard;
  QtKeyring keyring;
  Services services{clock,     systemClock, windowList,     sound,    shell,     dialogs,
                    processes, programInfo, sleepInhibitor, notifier, clipboard, keyring};
  SettingsStore settings;
  settings.setNotifier([&dialogs](const QString& text) {
    dialogs.errorBox(text, QStringLiteral("GebotsfalkePlus"));
  });
  AppState state;
  Inet inet1;
  AppContext ctx{state, services, settings, inet1};
  connectInet1(ctx);

  Form1 form(ctx);
  // The user's other windows, for bid groups and "--liste".
  DbusGroupBus groupBus(LazyBus::session());
  if (!clockOnly) form.setGroupBus(&groupBus);
  QObject::connect(&form, &Form1::unloaded, &app, &QApplication::quit, Qt::QueuedConnection);
  closeOnTerminationSignals(form);

  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  const bool keepRunning = Main(ctx, form, arguments);
  if (isClockOnlyRun(state.commandLine)) {
    const ClockOnlyOutcome outcome = clockOnlyOutcome(state);
    if (!outcome.message.isEmpty())
      consoleDialogs.messageBox(nullptr, outcome.message, version::appTitle());
    return outcome.exitCode;
  }
  if (!keepRunning) return 0;
  return QApplication::exec();
}
