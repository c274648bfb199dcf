#include <gtest/gtest.h>

#include <QFile>

#include "app/dateserial.h"
#include "app/errortrap.h"
#include "app/logfile.h"
#include "support/testenv.h"

namespace {
void writeBytes(const QString& path, qint64 size) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QByteArray(size, 'x'));
}
}  // namespace

TEST(ErrorBox, showsNumberWithSignPositionDescriptionProcedureAndStep) {
  EXPECT_EQ(errorBoxText(13, QStringLiteral("Typen unverträglich"), QStringLiteral("WriteLog")),
            QStringLiteral("Fehlernummer:  13\r\nBeschreibung: Typen unverträglich\r\n"
                           "Programmteil: WriteLog"));
  EXPECT_EQ(errorBoxText(-5, QStringLiteral("x"), QStringLiteral("Main")),
            QStringLiteral("Fehlernummer: -5\r\nBeschreibung: x\r\nProgrammteil: Main"));
  EXPECT_TRUE(errorBoxText(6, QStringLiteral("Überlauf"), QStringLiteral("Command1_Click"),
                           QStringLiteral("1,5"))
                  .endsWith(QStringLiteral("\r\nZeilennummer: 1,5")));
}

TEST(ErrorTrap, reportsTheProcedureAndLetsTheCallerGoOn) {
  TestEnv env;
  bool after = false;
  const bool ok = trap(*env.ctx, "Update_Label", [&] {
    vberr::raise(vberr::kTypeMismatch);
    after = true;
  });
  EXPECT_FALSE(ok);
  EXPECT_FALSE(after);
  ASSERT_EQ(env.dialogs.errors.size(), 1);
  EXPECT_TRUE(env.dialogs.errors[0].contains(QStringLiteral("Programmteil: Update_Label")));
  EXPECT_EQ(env.state.lastFailingProcedure, QStringLiteral("Update_Label"));
}

TEST(WriteLog, appendsSixTabSeparatedFieldsInWindows1252WithCrLf) {
  TestEnv env;
  WriteLog(*env.ctx, QStringLiteral("GebotsfalkePlus gestartet - Version 1.3.6"));
  env.clock.set(2026, 12, 5, 19, 59, 50);
  env.state.endet = dateserial::fromParts({2026, 12, 5, 20, 0, 0});
  env.state.ItemID = QStringLiteral("1234567890");
  env.state.sectobid = QStringLiteral("10");
  env.state.maxBid = 12.5f;
  WriteLog(*env.ctx, QStringLiteral("Höchstgebot"));

  QFile f(env.programFolder() + QStringLiteral("/gebotsfalke.log"));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray raw = f.readAll();
  EXPECT_TRUE(
      raw.contains("H\xF6"
                   "chstgebot\r\n"));  // ö as the single byte 0xF6
  const QStringList lines = env.logLines();
  ASSERT_EQ(lines.size(), 2);
  // The start line carries an empty item: end time 00:00:00, no item, no seconds, bid 0.
  EXPECT_EQ(lines[0], QStringLiteral("05.12.2026 19:00:00\t00:00:00\t\t\t0\t"
                                     "GebotsfalkePlus gestartet - Version 1.3.6"));
  EXPECT_EQ(lines[1], QStringLiteral("05.12.2026 19:59:50\t05.12.2026 20:00:00\t1234567890\t10\t"
                                     "12,5\tHöchstgebot"));
}

TEST(WriteLog, aFieldWithLineBreaksOrTabsStaysOnItsLine) {
  TestEnv env;
  env.state.ItemID = QStringLiteral("12\r\n34\t5");
  WriteLog(*env.ctx, QStringLiteral("a\nb"));
  const QStringList lines = env.logLines();
  ASSERT_EQ(lines.size(), 1);
  EXPECT_EQ(lines[0].split(QChar('\t')).size(), 6);
  EXPECT_TRUE(lines[0].endsWith(QStringLiteral("\t12  34 5\t\t0\ta b")));
}

TEST(WriteLog, unwritableFolderShowsTheErrorBoxEachTimeAndGoesOn) {
  TestEnv env;
  env.programInfo.folder = env.dir.path() + QStringLiteral("/missing/folder");
  WriteLog(*env.ctx, QStringLiteral("a"));
  WriteLog(*env.ctx, QStringLiteral("b"));
  ASSERT_EQ(env.dialogs.errors.size(), 2);
  EXPECT_TRUE(env.dialogs.errors[1].endsWith(QStringLiteral("Programmteil: WriteLog")));
}

TEST(CheckLogfileSize, movesALogOfHalfAMebibyteOrMoreToTheDatedName) {
  TestEnv env;
  const QString log = env.programFolder() + QStringLiteral("/gebotsfalke.log");
  const QString old = env.programFolder() + QStringLiteral("/05_12_2026_old.log");
  writeBytes(log, 524287);
  CheckLogfileSize(*env.ctx);
  EXPECT_TRUE(QFile::exists(log));
  EXPECT_FALSE(QFile::exists(old));

  writeBytes(log, 524288);
  CheckLogfileSize(*env.ctx);
  EXPECT_FALSE(QFile::exists(log));
  EXPECT_TRUE(QFile::exists(old));
  EXPECT_TRUE(env.dialogs.errors.isEmpty());

  // A second rotation on the same day finds the name taken: the log stays and keeps growing.
  writeBytes(log, 600000);
  CheckLogfileSize(*env.ctx);
  EXPECT_TRUE(QFile::exists(log));
  ASSERT_EQ(env.dialogs.errors.size(), 1);
  EXPECT_TRUE(env.dialogs.errors[0].contains(QStringLiteral("Datei existiert bereits")));
  EXPECT_TRUE(env.dialogs.errors[0].endsWith(QStringLiteral("Programmteil: CheckLogfileSize")));
  EXPECT_EQ(QFile(old).size(), 524288);
}
