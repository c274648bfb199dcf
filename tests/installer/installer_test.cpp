#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <functional>

#include "installlog.h"
#include "support/files.h"
#include "swap.h"

namespace {
// A program folder holding the "old" version and the downloaded "new" one (not executable, as
// downloaded files are). Either version, when started, records its name, the number of its
// arguments, its working folder and the hand-over variable ("-" when unset) in "started".
struct ProgramFolder {
  ProgramFolder() : folder(QDir(dir.path()).canonicalPath()), files(folder) {
    writeFile(files.program, fakeProgram("old"), kRunnable);
    writeFile(files.update, fakeProgram("new"));
  }
  QByteArray fakeProgram(const char* name) const {
    const QByteArray f = QFile::encodeName(folder);
    return "#!/bin/sh\nprintf '%s %s %s %s' " + QByteArray(name) +
           " \"$#\" \"$(pwd)\" \"${GEBOTSFALKE_PROGRAM:--}\" > '" + f + "/started.tmp'\nmv '" + f +
           "/started.tmp' '" + f + "/started'\n";
  }
  // Which version was started (it runs detached, so it may take a moment).
  QString started() const {
    const QString path = folder + QStringLiteral("/started");
    QDeadlineTimer deadline(20000);
    while (!QFileInfo::exists(path) && !deadline.hasExpired()) QThread::msleep(10);
    return QString::fromLocal8Bit(readAll(path)).replace(folder, QStringLiteral("<folder>"));
  }
  QString log() const { return QString::fromLatin1(readAll(folder + "/gebotsfalke.log")); }
  QTemporaryDir dir;
  QString folder;
  installer::ProgramFiles files;
};
}  // namespace

TEST(Installer, logLinesCutTheFractionOfASecondLikeTheProgramsOwn) {
  const QDateTime late(QDate(2026, 12, 5), QTime(23, 59, 59, 999));
  EXPECT_EQ(installer::logLine(late, QStringLiteral("ä")),
            QStringLiteral("05.12.2026 23:59:59\t00:00:00\t\t\t0\tä"));
  EXPECT_EQ(installer::logLine(QDateTime(QDate(2026, 12, 6), QTime(0, 0, 0, 999)), "x"),
            QStringLiteral("06.12.2026\t00:00:00\t\t\t0\tx"));
}

TEST(Installer, aFailedUpdateLeavesThePreviousVersionInPlaceAndStartsIt) {
  const struct {
    const char* what;
    std::function<void(ProgramFolder&)> prepare;
    QString logged;
  } cases[] = {
      {"nothing was downloaded", [](ProgramFolder& pf) { QFile::remove(pf.files.update); },
       QStringLiteral("Installer: update.dat fehlt - die bisherige Version bleibt.")},
      {"the backup cannot be written",
       [](ProgramFolder& pf) { QDir().mkpath(pf.files.backup + QStringLiteral("/inside")); },
       {}},
      {"the new version does not run",
       [](ProgramFolder& pf) {
         writeFile(pf.files.update, QByteArray("\x7f"
                                               "ELF broken",
                                               11));
       },
       QStringLiteral(
           "Installer: neue Version startet nicht - bisherige Version wiederhergestellt.")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramFolder pf;
    c.prepare(pf);
    EXPECT_EQ(installer::run(pf.files), installer::kKeptOld);
    EXPECT_EQ(readAll(pf.files.program), pf.fakeProgram("old"));
    EXPECT_TRUE(QFileInfo(pf.files.program).isExecutable());
    EXPECT_EQ(pf.started(), QStringLiteral("old 0 <folder> -"));
    if (!c.logged.isEmpty()) {
      EXPECT_TRUE(pf.log().contains(c.logged));
    }
  }
}

TEST(Installer, waitsForTheRunningProgramAndGivesUpWithoutTouchingIt) {
  ProgramFolder pf;
  // The running program: a copy of sleep under the program's name.
  QFile::remove(pf.files.program);
  ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), pf.files.program));
  const QByteArray running = readAll(pf.files.program);
  QProcess program;
  program.start(pf.files.program, {QStringLiteral("60")});
  ASSERT_TRUE(program.waitForStarted());
  EXPECT_EQ(installer::run(pf.files, {100, 10}), installer::kStillRunning);
  EXPECT_EQ(readAll(pf.files.program), running);
  EXPECT_EQ(readAll(pf.files.update), pf.fakeProgram("new"));
  EXPECT_TRUE(pf.log().contains(
      QStringLiteral("Installer: GebotsfalkePlus läuft noch - Update abgebrochen.")));
  program.kill();
  ASSERT_TRUE(program.waitForFinished());

  // A program that ends while the installer waits is replaced once it has gone.
  program.start(pf.files.program, {QStringLiteral("0.3")});
  ASSERT_TRUE(program.waitForStarted());
  EXPECT_EQ(installer::run(pf.files, {30000, 10}), installer::kUpdated);
  EXPECT_EQ(readAll(pf.files.program), pf.fakeProgram("new"));
  EXPECT_EQ(pf.started(), QStringLiteral("new 0 <folder> -"));
  program.waitForFinished();
}

// Without the program it is to replace, the installer changes nothing and claims nothing: a
// program folder without the executable (the program ran from elsewhere and said nothing), a
// relative path, a file that is gone.
TEST(Installer, withoutTheProgramToReplaceNothingIsInstalled) {
  for (const char* handedOver : {"", "gebotsfalkeplus", "/gone/gebotsfalkeplus"}) {
    SCOPED_TRACE(handedOver);
    ProgramFolder pf;
    if (!*handedOver) QFile::remove(pf.files.program);
    const installer::ProgramFiles files(pf.folder, QString::fromLatin1(handedOver));
    EXPECT_EQ(installer::run(files), installer::kNothingStarted);
    EXPECT_EQ(readAll(pf.files.update), pf.fakeProgram("new"));
    EXPECT_TRUE(pf.log().contains(" ist keine Programmdatei - die bisherige Version bleibt."));
    EXPECT_FALSE(pf.log().contains("neue Version eingesetzt"));
    EXPECT_EQ(QDir(pf.folder).entryList(QDir::Files),
              *handedOver ? QStringList({"gebotsfalke.log", "gebotsfalkeplus", "update.dat"})
                          : QStringList({"gebotsfalke.log", "update.dat"}));
  }
}

// The program ran from a folder of its own, started through a link, with its program folder
// elsewhere: doupdate, started from the program folder as the program starts it, replaces the
// file that ran, keeps the link, and leaves the program folder without a copy of the program.
TEST(Installer, replacesTheExecutableTheProgramNamesWhereverItLies) {
  ProgramFolder pf;
  QFile::remove(pf.files.program);
  QTemporaryDir other;
  const QString bin = QDir(other.path()).canonicalPath() + "/Programme ä";
  const QString program = bin + "/gebotsfalkeplus";
  const QString link = QDir(other.path()).canonicalPath() + "/gfp";
  ASSERT_TRUE(QDir().mkpath(bin));
  writeFile(program, pf.fakeProgram("old"), kRunnable);
  ASSERT_TRUE(QFile::link(program, link));
  ASSERT_TRUE(QFile::copy(GF_DOUPDATE_EXECUTABLE, pf.folder + "/doupdate.exe"));

  QProcess doupdate;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("GEBOTSFALKE_PROGRAM", link);
  doupdate.setProcessEnvironment(environment);
  doupdate.setWorkingDirectory(pf.folder);
  doupdate.start(pf.folder + "/doupdate.exe", {});
  ASSERT_TRUE(doupdate.waitForFinished(30000));
  EXPECT_EQ(doupdate.exitCode(), installer::kUpdated) << pf.log().toStdString();

  EXPECT_EQ(readAll(program), pf.fakeProgram("new"));
  EXPECT_TRUE(QFileInfo(program).isExecutable());
  EXPECT_EQ(readAll(program + ".bak"), pf.fakeProgram("old"));
  EXPECT_EQ(QFileInfo(link).symLinkTarget(), program);
  EXPECT_EQ(QDir(bin).entryList(QDir::Files),
            QStringList({"gebotsfalkeplus", "gebotsfalkeplus.bak"}));
  // The new version runs in the program folder and does not see the hand-over.
  EXPECT_EQ(pf.started(), QStringLiteral("new 0 <folder> -"));
  EXPECT_EQ(QDir(pf.folder).entryList(QDir::Files),
            QStringList({"doupdate.exe", "gebotsfalke.log", "started"}));
  EXPECT_TRUE(pf.log().contains("Installer: neue Version eingesetzt."));
}
