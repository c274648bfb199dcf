#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include "installlog.h"
#include "procwatch.h"
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

// A stand-in for one version of the program: when started it records its name, the number of
// its arguments and its working folder in "started".
QByteArray fakeProgram(const QString& folder, const char* name) {
  return QByteArrayLiteral("#!/bin/sh\nprintf '%s %s %s' ") + name +
         QByteArrayLiteral(" \"$#\" \"$(pwd)\" > '") + QFile::encodeName(folder) +
         QByteArrayLiteral("/started.tmp'\nmv '") + QFile::encodeName(folder) +
         QByteArrayLiteral("/started.tmp' '") + QFile::encodeName(folder) +
         QByteArrayLiteral("/started'\n");
}

// What the started program recorded (it runs detached, so it may take a moment).
QString startedMarker(const QString& folder) {
  const QString path = folder + QStringLiteral("/started");
  QDeadlineTimer deadline(20000);
  while (!QFileInfo::exists(path) && !deadline.hasExpired()) QThread::msleep(10);
  return QString::fromLocal8Bit(readAll(path));
}

QStringList logMessages(const QString& folder) {
  QStringList out;
  const QString text = QString::fromLatin1(readAll(folder + QStringLiteral("/gebotsfalke.log")));
  for (const QString& line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
    out.append(line.section(QChar('\t'), 5));
  return out;
}

struct ProgramFolder {
  ProgramFolder() {
    folder = QDir(dir.path()).canonicalPath();
    files = std::make_unique<installer::ProgramFiles>(folder);
    oldProgram = fakeProgram(folder, "old");
    newProgram = fakeProgram(folder, "new");
    writeFile(files->program, oldProgram, true);
    writeFile(files->update, newProgram, false);  // downloaded files are not executable
  }
  QTemporaryDir dir;
  QString folder;
  std::unique_ptr<installer::ProgramFiles> files;
  QByteArray oldProgram, newProgram;
};
}  // namespace

TEST(Installer, doupdateReplacesTheProgramAndStartsTheNewVersion) {
  ProgramFolder pf;
  const QString doupdate = pf.folder + QStringLiteral("/doupdate.exe");
  ASSERT_TRUE(QFile::copy(QStringLiteral(GF_DOUPDATE_EXECUTABLE), doupdate));

  // Started as the program starts it: from elsewhere, without arguments.
  QProcess p;
  p.setWorkingDirectory(QDir::rootPath());
  p.start(doupdate, {});
  ASSERT_TRUE(p.waitForFinished(30000));
  EXPECT_EQ(p.exitCode(), installer::kUpdated);

  EXPECT_EQ(startedMarker(pf.folder), QStringLiteral("new 0 ") + pf.folder);
  EXPECT_EQ(readAll(pf.files->program), pf.newProgram);
  EXPECT_TRUE(QFileInfo(pf.files->program).isExecutable());
  EXPECT_FALSE(QFileInfo::exists(pf.files->update));
  EXPECT_EQ(readAll(pf.files->backup), pf.oldProgram);
  EXPECT_EQ(logMessages(pf.folder),
            (QStringList{QStringLiteral("Installer: gestartet."),
                         QStringLiteral("Installer: neue Version eingesetzt."),
                         QStringLiteral("Installer: neue Version gestartet.")}));

  // The program's log line form: time, no item, CR LF.
  const QByteArray log = readAll(pf.folder + QStringLiteral("/gebotsfalke.log"));
  ASSERT_TRUE(log.endsWith("\r\n"));
  const QStringList fields =
      QString::fromLatin1(log).split(QStringLiteral("\r\n")).first().split(QChar('\t'));
  ASSERT_EQ(fields.size(), 6);
  EXPECT_TRUE(
      QRegularExpression(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4}( \\d\\d:\\d\\d:\\d\\d)?$"))
          .match(fields[0])
          .hasMatch())
      << fields[0].toStdString();
  EXPECT_EQ(fields.mid(1, 4),
            (QStringList{QStringLiteral("00:00:00"), QString(), QString(), QStringLiteral("0")}));
}

TEST(Installer, logLinesAreRoundedToTheSecondLikeTheProgramsOwn) {
  const QDateTime late(QDate(2026, 12, 5), QTime(23, 59, 59, 600));
  EXPECT_EQ(installer::logLine(late, QStringLiteral("ä")),
            QStringLiteral("06.12.2026\t00:00:00\t\t\t0\tä"));
  EXPECT_EQ(installer::logLine(late.addSecs(-3600), QStringLiteral("x")),
            QStringLiteral("05.12.2026 23:00:00\t00:00:00\t\t\t0\tx"));
}

TEST(Installer, aFailedUpdateLeavesThePreviousVersionInPlaceAndStartsIt) {
  {  // nothing was downloaded
    ProgramFolder pf;
    QFile::remove(pf.files->update);
    EXPECT_EQ(installer::run(pf.folder), installer::kKeptOld);
    EXPECT_EQ(readAll(pf.files->program), pf.oldProgram);
    EXPECT_EQ(startedMarker(pf.folder), QStringLiteral("old 0 ") + pf.folder);
    EXPECT_TRUE(logMessages(pf.folder).contains(
        QStringLiteral("Installer: update.dat fehlt - die bisherige Version bleibt.")));
  }
  {  // the folder cannot take the copy of the previous version
    ProgramFolder pf;
    ASSERT_TRUE(QDir().mkpath(pf.files->backup + QStringLiteral("/inside")));
    EXPECT_EQ(installer::run(pf.folder), installer::kKeptOld);
    EXPECT_EQ(readAll(pf.files->program), pf.oldProgram);
    EXPECT_EQ(readAll(pf.files->update), pf.newProgram);  // kept for another attempt
    EXPECT_EQ(startedMarker(pf.folder), QStringLiteral("old 0 ") + pf.folder);
  }
  {  // the new version does not run: the previous one comes back
    ProgramFolder pf;
    writeFile(pf.files->update,
              QByteArray("\x7f"
                         "ELF broken",
                         11),
              false);
    EXPECT_EQ(installer::run(pf.folder), installer::kKeptOld);
    EXPECT_EQ(readAll(pf.files->program), pf.oldProgram);
    EXPECT_TRUE(QFileInfo(pf.files->program).isExecutable());
    EXPECT_EQ(startedMarker(pf.folder), QStringLiteral("old 0 ") + pf.folder);
    EXPECT_TRUE(logMessages(pf.folder).contains(QStringLiteral(
        "Installer: neue Version startet nicht - bisherige Version wiederhergestellt.")));
  }
}

TEST(Installer, waitsForTheRunningProgramAndGivesUpWithoutTouchingIt) {
  ProgramFolder pf;
  // The running program: a copy of sleep under the program's name.
  QFile::remove(pf.files->program);
  ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), pf.files->program));
  const QByteArray running = readAll(pf.files->program);
  QProcess program;
  program.start(pf.files->program, {QStringLiteral("60")});
  ASSERT_TRUE(program.waitForStarted());

  EXPECT_TRUE(installer::programRunning(pf.files->program));
  EXPECT_FALSE(installer::programRunning(pf.files->update));
  EXPECT_EQ(installer::run(pf.folder, {100, 10}), installer::kStillRunning);
  EXPECT_EQ(readAll(pf.files->program), running);
  EXPECT_EQ(readAll(pf.files->update), pf.newProgram);
  EXPECT_EQ(logMessages(pf.folder).last(),
            QStringLiteral("Installer: GebotsfalkePlus läuft noch - Update abgebrochen."));

  program.kill();
  ASSERT_TRUE(program.waitForFinished());
  EXPECT_FALSE(installer::programRunning(pf.files->program));
  EXPECT_TRUE(installer::waitForExit(pf.files->program, 100, 10));

  // A program that ends while the installer waits is replaced once it has gone.
  program.start(pf.files->program, {QStringLiteral("0.3")});
  ASSERT_TRUE(program.waitForStarted());
  EXPECT_EQ(installer::run(pf.folder, {30000, 10}), installer::kUpdated);
  EXPECT_EQ(readAll(pf.files->program), pf.newProgram);
  EXPECT_EQ(startedMarker(pf.folder), QStringLiteral("new 0 ") + pf.folder);
  program.waitForFinished();
}
