#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDateTime>
#include <QTimeZone>

#include "app/dateserial.h"
#include "app/scramble.h"
#include "platform/linux/coredumps.h"
#include "sniper/form1.h"
#include "sniper/startup.h"
#include "support/controls.h"
#include "support/simserver.h"
#include "support/testenv.h"
#include "timesync/clockonly.h"

namespace {
// Main reads the hosts from the program folder: keep them on the port where nobody listens.
bool runMain(TestEnv& env, Form1& form, const QStringList& args) {
  env.writeEndpointsIni(env.state.endpoints);
  return Main(*env.ctx, form, args);
}
}  // namespace

TEST(Main, onlyTheExactTimeArgumentRunsTheClockOnlyMode) {
  {
    TestEnv env;
    Form1 form(*env.ctx);
    EXPECT_FALSE(runMain(env, form, {"-time"}));
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(env.logLines().isEmpty());  // no start line, no settings read
    EXPECT_TRUE(env.state.VersionText.isEmpty());
  }
  for (const QStringList& args : {QStringList{"-TIME"}, QStringList{"-time", "x"}}) {
    TestEnv env;
    Form1 form(*env.ctx);
    EXPECT_TRUE(runMain(env, form, args));
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(env.state.commandLine, args.join(QChar(' ')));
    EXPECT_EQ(env.logMessages().value(0), "GebotsfalkePlus gestartet - Version 1.3.6");
  }
}

TEST(Form1init, readsEverySettingOrItsDefaultAndUnscramblesThePassword) {
  for (const bool stored : {false, true}) {
    SCOPED_TRACE(stored);
    TestEnv env;
    if (stored) {
      env.setSetting("user", "bieter");
      env.setSetting("pass", cryptme("Geheim ä€", scramble::passwordKey()));
      env.setSetting("sectobid", "7");
      env.setSetting("Update", "1.03.0007");
      env.setSetting("synconstart", "-1");  // only 1 syncs at the start
      env.setSetting("warnton", "0");
      env.setSetting("saveuser", "0");
    }
    Form1 form(*env.ctx);
    ASSERT_TRUE(runMain(env, form, {}));
    const AppState& s = env.state;
    EXPECT_EQ(s.msgonsync, 1);
    EXPECT_EQ(s.saveuser, stored ? 0 : 1);
    EXPECT_EQ(s.warnton, stored ? 0 : 1);
    EXPECT_EQ(s.synconstart, stored ? -1 : 0);
    EXPECT_EQ(s.user, stored ? "bieter" : "");
    EXPECT_EQ(s.pass, stored ? "Geheim ä€" : "");
    EXPECT_EQ(s.sectobid, stored ? "7" : "10");
    EXPECT_EQ(control<LinkLabel>(form, "Lbl_update")->isVisible(), stored);
    // The scan that follows the caption leaves its reset caption with the revision.
    EXPECT_EQ(form.caption(), " GebotsfalkePlus 1.3.6");
    EXPECT_TRUE(env.dialogs.messages.isEmpty());  // no clock synchronisation's box
    EXPECT_TRUE(env.dialogs.errors.isEmpty());
  }
}

TEST(FormUnload, savesPlacementVersionFolderAndTheItemOnlyWhileItsEndLiesAhead) {
  for (const bool ahead : {true, false}) {
    SCOPED_TRACE(ahead);
    TestEnv env;
    env.setSetting("ItemID", "old");
    Form1 form(*env.ctx);
    ASSERT_TRUE(runMain(env, form, {}));
    env.state.AvailableVersion = "1.03.0007";
    env.state.ItemID = "1234567890";
    env.state.AuktionTitel = "Nokia 3310 Handy";
    env.state.endet = dateserial::fromParts({2026, 12, 5, 20, 0, 0});
    env.clock.set(2026, 12, 5, 19, 59, 59);
    if (!ahead) env.clock.advanceMs(1000);
    form.close();
    EXPECT_EQ(env.setting("Update"), "1.03.0007");
    EXPECT_EQ(env.setting("InstallDir"), env.programFolder());
    EXPECT_EQ(env.setting("WindowState"), "0");
    EXPECT_EQ(env.setting("ItemID"), ahead ? "1234567890" : "");
    EXPECT_EQ(env.setting("AuktionTitel"), ahead ? "Nokia 3310 Handy" : "");
    EXPECT_EQ(env.setting("endet"), ahead ? "05.12.2026 20:00:00" : "");
    EXPECT_EQ(env.logMessages().last(), "GebotsfalkePlus beendet - Version 1.3.6");
  }
  // Started before the browser, with no other window open: the saved item is shown and kept.
  TestEnv env;
  env.setSetting("ItemID", "1234567890");
  env.setSetting("AuktionTitel", "Nokia 3310 Handy");
  env.setSetting("endet", "05.12.2026 20:00:00");
  Form1 form(*env.ctx);
  ASSERT_TRUE(runMain(env, form, {}));
  EXPECT_EQ(form.caption(), "Nokia 3310 Handy Gebotsfalke");
  form.close();
  EXPECT_EQ(env.setting("ItemID"), "1234567890");
  EXPECT_EQ(env.setting("AuktionTitel"), "Nokia 3310 Handy");
  EXPECT_EQ(env.setting("endet"), "05.12.2026 20:00:00");
}

// "-time": the clock-only run against the simulator, whose site runs 5 hours ahead. A clock
// that takes the time but refuses the date has not been set.
TEST(TimeRun, setsTheClockToTheSiteTimeWritesLogAndUpdateAndShowsNoWindow) {
  sim::Config config;
  config.vendorVersion = "1.03.0007";
  config.timeOffsetSec = 5 * 3600;
  SimServer server(config);
  for (const bool dateRefused : {false, true}) {
    SCOPED_TRACE(dateRefused);
    TestEnv env;
    struct DateRefusingClock : SystemClock {
      FakeSystemClock& calls;
      explicit DateRefusingClock(FakeSystemClock& c) : calls(c) {}
      ClockChange setTimeOfDay(int h, int m, int s) override { return calls.setTimeOfDay(h, m, s); }
      ClockChange setDate(int y, int m, int d) override {
        calls.setDate(y, m, d);
        return {false, QStringLiteral("Operation not permitted")};
      }
    } dateRefusing(env.systemClock);
    SystemClock& systemClock =
        dateRefused ? static_cast<SystemClock&>(dateRefusing) : env.systemClock;
    Services services{env.clock,          systemClock,  env.windowList, env.sound,
                      env.shell,          env.dialogs,  env.processes,  env.programInfo,
                      env.sleepInhibitor, env.notifier, env.clipboard};
    AppContext ctx{env.state, services, *env.settings, env.inet1};
    env.writeEndpointsIni(server.endpoints());
    const QTimeZone berlin("Europe/Berlin");
    const QDateTime before =
        QDateTime::currentDateTime().toTimeZone(berlin).addSecs(config.timeOffsetSec - 1);
    const QDate behind = before.date().addDays(-1);  // a day behind the site: the date is set too
    env.clock.set(behind.year(), behind.month(), behind.day(), 3, 4, 5);
    Form1 form(ctx);
    EXPECT_FALSE(Main(ctx, form, {QStringLiteral("-time")}));
    const QDateTime after =
        QDateTime::currentDateTime().toTimeZone(berlin).addSecs(config.timeOffsetSec);
    const QStringList& calls = env.systemClock.calls;
    ASSERT_EQ(calls.size(), 2) << calls.join(';').toStdString();
    const QDateTime set(QDate::fromString(calls[1].mid(5), QStringLiteral("yyyy-MM-dd")),
                        QTime::fromString(calls[0].mid(5), QStringLiteral("HH:mm:ss")), berlin);
    EXPECT_GE(set, before);
    EXPECT_LE(set, after);
    EXPECT_EQ(env.logMessages(), QStringList({QStringLiteral("Timesync: 03:04:05 -> ") +
                                              set.toString(QStringLiteral("HH:mm:ss"))}));
    EXPECT_EQ(env.setting(QStringLiteral("Update")), QStringLiteral("1.03.0007"));
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(env.dialogs.messages.isEmpty());
    // A clock that was set: a silent run with exit code 0; a refused date makes it exit code 1.
    const ClockOnlyOutcome outcome = clockOnlyOutcome(env.state);
    EXPECT_EQ(outcome.exitCode, dateRefused ? 1 : 0);
    EXPECT_EQ(outcome.message.isEmpty(), !dateRefused);
    EXPECT_EQ(outcome.message.startsWith("Die Systemuhr konnte nicht gestellt werden."),
              dateRefused);
  }
}

// The password is in the program's memory: no core file of it may be written, and other
// processes of the user may not read it. The switch is checked in a child process; the running
// program's limit by every end-to-end run.
TEST(Program, writesNoCoreDumpOfItsMemory) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const bool ok = disableCoreDumps();
    rlimit core{};
    getrlimit(RLIMIT_CORE, &core);
    _exit(ok && core.rlim_cur == 0 && core.rlim_max == 0 && prctl(PR_GET_DUMPABLE) == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
