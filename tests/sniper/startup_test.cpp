#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "app/dateserial.h"
#include "platform/linux/coredumps.h"
#include "sniper/form1.h"
#include "sniper/startup.h"
#include "support/controls.h"
#include "support/simserver.h"
#include "support/testenv.h"

namespace {
// Exit code of a child that could not give up its rights.
const int kCannotDropRights = 99;

// Run in a child before it starts the program: it may never set the clock, and with
// readOnly it may not write where the mode bits forbid it either, even as the superuser.
bool dropRights(bool readOnly) {
  prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2]{};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  data[0].inheritable = data[1].inheritable = 0;
  if (syscall(SYS_capset, &header, data) != 0) return false;
  // The superuser's program gets every right in the bounding set.
  if (::geteuid() != 0) return true;
  if (prctl(PR_CAPBSET_DROP, CAP_SYS_TIME, 0, 0, 0) != 0) return false;
  return !readOnly || prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) == 0;
}

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
    // No start line, no settings read: only the synchronisation's own line.
    EXPECT_EQ(
        env.logMessages(),
        QStringList{"Timesync nicht möglich: keine Antwort vom Server (Verbindung abgelehnt)"});
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

// A start removes the download folder of an update that was killed midway, unless another
// instance runs (it may be downloading into it).
TEST(Main, removesTheFolderOfAKilledUpdateUnlessAnotherInstanceRuns) {
  for (const bool otherInstance : {false, true}) {
    TestEnv env;
    const QString leftover = env.programFolder() + "/.gebotsfalkeplus-update-aB3dE9/new";
    ASSERT_TRUE(QDir().mkpath(leftover));
    env.processes.previous = otherInstance;
    Form1 form(*env.ctx);
    EXPECT_TRUE(runMain(env, form, {}));
    EXPECT_EQ(QFileInfo::exists(leftover), otherInstance);
  }
}

// What endpoints.ini could not give (a later OfferHost line with a lone '"', and a line that is
// nothing) is named in one box at the start.
TEST(Main, namesWhatEndpointsIniCouldNotGiveInOneBox) {
  TestEnv env;
  env.writeEndpointsIni(env.state.endpoints);
  QFile ini(env.programFolder() + "/endpoints.ini");
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  const int brokenLine = ini.readAll().count('\n') + 2;  // the line of the lone quote
  ini.close();
  ASSERT_TRUE(ini.open(QIODevice::Append));
  ini.write("OfferHost=\"http://127.0.0.1:1\n\"\n");
  ini.close();
  Form1 form(*env.ctx);
  EXPECT_TRUE(Main(*env.ctx, form, {}));
  EXPECT_EQ(env.state.endpoints.offerHost, "");
  EXPECT_EQ(env.dialogs.errors,
            QStringList{"Die Datei '" + ini.fileName() +
                        "' ist fehlerhaft. Nicht gelesen werden konnten: Zeile " +
                        QString::number(brokenLine) +
                        ", OfferHost.\r\n"
                        "Statt ihrer gelten nicht die eingebauten Werte: Gebote, Anmeldedaten und "
                        "Updates gehen an keinen anderen Server."});
}

// Nothing stored: every setting takes its default (what a stored one reads: the settings table
// in settings_test).
TEST(Form1init, readsTheDefaultOfEverySettingNotStored) {
  TestEnv env;
  Form1 form(*env.ctx);
  ASSERT_TRUE(runMain(env, form, {}));
  const AppState& s = env.state;
  EXPECT_EQ(s.msgonsync, 1);
  EXPECT_EQ(s.saveuser, 1);
  EXPECT_EQ(s.warnton, 1);
  EXPECT_EQ(s.synconstart, 0);
  EXPECT_EQ(s.user, "");
  EXPECT_EQ(s.pass, "");
  EXPECT_EQ(s.sectobid, "10");
  EXPECT_FALSE(control<LinkLabel>(form, "Lbl_update")->isVisible());
  // The scan that follows the caption leaves its reset caption with the revision.
  EXPECT_EQ(form.caption(), " GebotsfalkePlus 1.3.6");
  EXPECT_TRUE(env.dialogs.messages.isEmpty());  // no clock synchronisation's box
  EXPECT_TRUE(env.dialogs.errors.isEmpty());
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
}

// Run from a shell or from cron without a display (and without the right to set the clock):
// help and version are printed, anything that wants the window says that there is none instead
// of aborting; only the exact "-time" runs, and every failure of it ends with exit code 1 and a
// line on standard error. A clock that is right (the simulator shows the real time) needs no
// setting: exit code 0, nothing said. Only "-time" writes a log.
TEST(Program, runsWithoutADisplayOnlyForHelpVersionAndTheClockAndSaysWhy) {
  const QString noDisplay =
      "GebotsfalkePlus: Keine grafische Oberfläche: DISPLAY ist nicht gesetzt. Ohne sie läuft nur "
      "„gebotsfalkeplus -time“.\n";
  enum Given { kNothing, kNoTimePage, kReadOnlyProgramFolder };
  const struct {
    QStringList args;
    Given given;
    int exitCode;
    const char* out;  // the start of standard output
    QString err;
  } cases[] = {
      {{"--help"}, kNothing, 0, "Aufruf: gebotsfalkeplus [Option]\n", ""},
      {{"-h", "x"}, kNothing, 0, "Aufruf: gebotsfalkeplus [Option]\n", ""},
      {{"-bay", "--version"}, kNothing, 0, "GebotsfalkePlus 1.3.6\n", ""},
      {{}, kNothing, 1, "", noDisplay},
      {{"-TIME"}, kNothing, 1, "", noDisplay},
      {{"--ebay-zugang"}, kNothing, 1, "", noDisplay},  // an option of the window
      {{"-time"}, kNothing, 0, "", ""},
      {{"-time"}, kNoTimePage, 1, "", "GebotsfalkePlus: Keine Zeitinformationen erhalten.\n"},
      {{"-time"},
       kReadOnlyProgramFolder,
       1,
       "",
       "GebotsfalkePlus: Die Datei '<log>' konnte nicht geschrieben werden: Zugriff verweigert.; "
       "Protokollzeilen gehen verloren.\nFehler: Fehlernummer: 70; Beschreibung: Zugriff "
       "verweigert; Programmteil: WriteLog\n"},
  };
  SimServer server;  // its site shows the real time: even a clock that was set stays right
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString() + " " + std::to_string(c.given));
    TestEnv env;
    const QString log = env.programFolder() + "/gebotsfalke.log";
    Endpoints endpoints = server.endpoints();
    if (c.given == kNoTimePage) endpoints.timeHost = "http://127.0.0.1:1";
    env.writeEndpointsIni(endpoints);
    const bool readOnly = c.given == kReadOnlyProgramFolder;
    if (readOnly)
      QFile::setPermissions(env.programFolder(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QProcess program;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR", "QT_LOGGING_RULES"})
      e.remove(QString::fromLatin1(name));
    e.insert("GEBOTSFALKE_HOME", env.programFolder());
    e.insert("XDG_CONFIG_HOME", env.configFolder());
    e.insert("TZ", "Europe/Berlin");
    program.setProcessEnvironment(e);
    const bool clockRun = c.args == QStringList{"-time"};
    if (clockRun)
      program.setChildProcessModifier([readOnly] {
        if (!dropRights(readOnly)) ::_exit(kCannotDropRights);
      });
    program.start(QStringLiteral(GF_PROGRAM_EXECUTABLE), c.args);
    ASSERT_TRUE(program.waitForFinished(60000));
    QFile::setPermissions(env.programFolder(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (program.exitCode() == kCannotDropRights)
      GTEST_SKIP() << "the right to set the clock cannot be dropped here";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), c.exitCode);
    EXPECT_EQ(QString::fromUtf8(program.readAllStandardOutput()).left(strlen(c.out)), c.out);
    EXPECT_EQ(QString::fromUtf8(program.readAllStandardError()),
              QString(c.err).replace("<log>", log));
    EXPECT_EQ(QFile::exists(log), clockRun && !readOnly);
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
