#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
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
#include "update/versioncheck.h"

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

// A copy installed from the package cannot install a newer version itself: no update mark
// leads to a download that would not come. That there is one is said once, where a portable
// copy shows its mark.
TEST(UpdateMark, anInstalledCopyShowsNoMarkAndSaysOnceThatANewerVersionIsOut) {
  sim::Config config;
  config.vendorVersion = "1.03.0007";
  SimServer server(config);
  for (const bool installed : {false, true}) {
    SCOPED_TRACE(installed);
    TestEnv env;
    env.programInfo.installed = installed;
    env.state.endpoints = server.endpoints();
    Form1 form(*env.ctx);
    ASSERT_TRUE(runMain(env, form, {}));
    for (int check = 0; check < 2; ++check)
      VersionCheck(*env.ctx, form, clockSyncUserAgent("1.3.6", "Linux"));
    EXPECT_EQ(env.state.AvailableVersion, "1.03.0007");
    EXPECT_EQ(control<LinkLabel>(form, "Lbl_update")->isVisible(), !installed);
    EXPECT_EQ(env.dialogs.errors,
              installed ? QStringList{"Eine neuere Version von GebotsfalkePlus ist erschienen: "
                                      "1.03.0007 (installiert ist 1.3.6).\r\nDiese Kopie wurde "
                                      "über die Paketverwaltung installiert und wird auch über sie "
                                      "aktualisiert. Bitte installieren Sie die neue Version als "
                                      "Paket, zum Beispiel mit apt."}
                        : QStringList());
  }
}

// "-time": the clock-only run against the simulator, whose site runs 5 hours ahead, with the
// computer's clock running a day behind that. A clock that refuses the change has not been set.
TEST(TimeRun, setsTheClockToTheSiteTimeToTheMillisecondWritesLogAndUpdateAndShowsNoWindow) {
  sim::Config config;
  config.vendorVersion = "1.03.0007";
  config.timeOffsetMs = 5 * 3600000 + 250;
  SimServer server(config);
  for (const bool refused : {false, true}) {
    SCOPED_TRACE(refused);
    TestEnv env;
    env.systemClock.refuse = refused;
    env.writeEndpointsIni(server.endpoints());
    const QTimeZone berlin("Europe/Berlin");
    // The site's time now, as the program counts local time (Berlin, ms since 30.12.1899).
    auto siteNow = [&] {
      const QDateTime t =
          QDateTime::currentDateTime().toTimeZone(berlin).addMSecs(config.timeOffsetMs);
      return dateserial::dayNumber(t.date().year(), t.date().month(), t.date().day()) * 86400000 +
             t.time().msecsSinceStartOfDay();
    };
    const QDate behind =
        QDateTime::fromMSecsSinceEpoch(QDateTime::currentMSecsSinceEpoch() + config.timeOffsetMs)
            .toTimeZone(berlin)
            .date()
            .addDays(-1);
    env.clock.set(behind.year(), behind.month(), behind.day(), 3, 4, 5);
    env.clock.runOn();
    // The site's lead: the day the computer is behind, give or take the times of day.
    const qint64 lead = siteNow() - env.clock.computerMs();
    Form1 form(*env.ctx);
    EXPECT_FALSE(Main(*env.ctx, form, {QStringLiteral("-time")}));
    EXPECT_LE(qAbs(env.clock.localMs() - siteNow()), 50);
    // Set: the computer's clock moved and no lead is kept; refused: the program keeps the lead.
    EXPECT_EQ(env.clock.siteLeadMs(), refused ? env.systemClock.shifts.value(0) : 0);
    EXPECT_EQ(env.systemClock.shifts.size(), 1);
    const QStringList log = env.logMessages();
    ASSERT_EQ(log.size(), 1);
    const QRegularExpressionMatch line =
        QRegularExpression(QStringLiteral("^Timesync: 03:04:[01]\\d -> (\\d\\d:\\d\\d:\\d\\d)"
                                          "(?: \\(nicht gestellt\\))? \\+(\\d+,\\d) Sekunden$"))
            .match(log[0]);
    ASSERT_TRUE(line.hasMatch()) << log[0].toStdString();
    EXPECT_EQ(log[0].contains("(nicht gestellt)"), refused);
    // Set at the end of the measurement: the site's time then, the short way round midnight.
    const qint64 set =
        QTime::fromString(line.captured(1), QStringLiteral("HH:mm:ss")).msecsSinceStartOfDay();
    const qint64 apart = ((siteNow() - set) % 86400000 + 86400000 + 43200000) % 86400000 - 43200000;
    EXPECT_LE(qAbs(apart), 20000) << line.captured(1).toStdString();
    // The whole lead, the date's part included, with one decimal.
    EXPECT_NEAR(line.captured(2).replace(QChar(','), QChar('.')).toDouble(), double(lead) / 1000.0,
                0.2);
    EXPECT_EQ(env.setting(QStringLiteral("Update")), QStringLiteral("1.03.0007"));
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(env.dialogs.messages.isEmpty());
    // A clock that was set: a silent run with exit code 0. Refused: exit code 1 and the
    // refusal's first line only, not the line about bidding by the site's time.
    const ClockOnlyOutcome outcome = clockOnlyOutcome(env.state);
    EXPECT_EQ(outcome.exitCode, refused ? 1 : 0);
    EXPECT_EQ(outcome.message,
              refused ? QStringLiteral("Die Systemuhr konnte nicht gestellt werden.") : QString());
  }
}

// Help and version are printed without a display; anything else that wants the window says on
// standard error that there is none, instead of aborting. Only the exact "-time" runs without.
TEST(Program, printsHelpAndVersionWithoutADisplayAndSaysWhenItNeedsOne) {
  const QString noDisplay =
      "GebotsfalkePlus: Keine grafische Oberfläche: DISPLAY ist nicht gesetzt. Ohne sie läuft nur "
      "„gebotsfalkeplus -time“.\n";
  const struct {
    QStringList args;
    int exitCode;
    const char* out;  // the start of standard output
    QString err;
  } cases[] = {
      {{"--help"}, 0, "Aufruf: gebotsfalkeplus [Option]\n", ""},
      {{"-h"}, 0, "Aufruf: gebotsfalkeplus [Option]\n", ""},
      {{"-bay", "--version"}, 0, "GebotsfalkePlus 1.3.6\n", ""},
      {{}, 1, "", noDisplay},
      {{"-TIME"}, 1, "", noDisplay},
      {{"-h", "x"}, 0, "Aufruf", ""},
      {{"--ebay-zugang"}, 1, "", noDisplay},  // an option of the window
  };
  TestEnv env;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    QProcess program;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
      e.remove(QString::fromLatin1(name));
    e.insert("GEBOTSFALKE_HOME", env.programFolder());
    e.insert("XDG_CONFIG_HOME", env.configFolder());
    program.setProcessEnvironment(e);
    program.start(QStringLiteral(GF_PROGRAM_EXECUTABLE), c.args);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), c.exitCode);
    EXPECT_EQ(QString::fromUtf8(program.readAllStandardOutput()).left(strlen(c.out)), c.out);
    EXPECT_EQ(QString::fromUtf8(program.readAllStandardError()), c.err);
  }
  EXPECT_FALSE(QFile::exists(env.programFolder() + "/gebotsfalke.log"));  // nothing started
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
