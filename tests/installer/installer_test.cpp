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
#include "swap.h"

namespace {
QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes, bool executable) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  f.write(bytes);
  f.close();
  if (executable) f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
}

// A program folder holding the "old" version and the downloaded "new" one (not executable, as
// downloaded files are). Either version, when started, records its name, the number of its
// arguments and its working folder in "started".
struct ProgramFolder {
  ProgramFolder() : folder(QDir(dir.path()).canonicalPath()), files(folder) {
    writeFile(files.program, fakeProgram("old"), true);
    writeFile(files.update, fakeProgram("new"), false);
  }
  QByteArray fakeProgram(const char* name) const {
    const QByteArray f = QFile::encodeName(folder);
    return "#!/bin/sh\nprintf '%s %s %s' " + QByteArray(name) + " \"$#\" \"$(pwd)\" > '" + f +
           "/started.tmp'\nmv '" + f + "/started.tmp' '" + f + "/started'\n";
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
         writeFile(pf.files.update,
                   QByteArray("\x7f"
                              "ELF broken",
                              11),
                   false);
       },
       QStringLiteral(
           "Installer: neue Version startet nicht - bisherige Version wiederhergestellt.")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramFolder pf;
    c.prepare(pf);
    EXPECT_EQ(installer::run(pf.folder), installer::kKeptOld);
    EXPECT_EQ(readAll(pf.files.program), pf.fakeProgram("old"));
    EXPECT_TRUE(QFileInfo(pf.files.program).isExecutable());
    EXPECT_EQ(pf.started(), QStringLiteral("old 0 <folder>"));
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
  EXPECT_EQ(installer::run(pf.folder, {100, 10}), installer::kStillRunning);
  EXPECT_EQ(readAll(pf.files.program), running);
  EXPECT_EQ(readAll(pf.files.update), pf.fakeProgram("new"));
  EXPECT_TRUE(pf.log().contains(
      QStringLiteral("Installer: GebotsfalkePlus läuft noch - Update abgebrochen.")));
  program.kill();
  ASSERT_TRUE(program.waitForFinished());

  // A program that ends while the installer waits is replaced once it has gone.
  program.start(pf.files.program, {QStringLiteral("0.3")});
  ASSERT_TRUE(program.waitForStarted());
  EXPECT_EQ(installer::run(pf.folder, {30000, 10}), installer::kUpdated);
  EXPECT_EQ(readAll(pf.files.program), pf.fakeProgram("new"));
  EXPECT_EQ(pf.started(), QStringLiteral("new 0 <folder>"));
  program.waitForFinished();
}
