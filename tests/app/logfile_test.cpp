#include <gtest/gtest.h>

#include <QFile>

#include "app/dateserial.h"
#include "app/errortrap.h"
#include "app/logfile.h"
#include "support/testenv.h"

// The number keeps a place for its sign (the exact box, with "Zeilennummer: ", is checked where
// start-up and arming fail).
TEST(ErrorBox, showsTheNumberWithASignPosition) {
  EXPECT_EQ(errorBoxText(-5, "x", "Main"),
            "Fehlernummer: -5\r\nBeschreibung: x\r\nProgrammteil: Main");
}

// The time stamp cuts the fraction of a second: a second that has not begun never shows.
TEST(WriteLog, appendsSixTabSeparatedFieldsInWindows1252WithCrLfEachOnItsLine) {
  TestEnv env;
  WriteLog(*env.ctx, "GebotsfalkePlus gestartet - Version 1.3.6");
  env.clock.set(2026, 12, 5, 19, 59, 50, 999);
  env.state.endet = dateserial::fromParts({2026, 12, 5, 20, 0, 0});
  env.state.ItemID = "1234567890";
  env.state.sectobid = "10";
  env.state.maxBid = 12.5f;
  WriteLog(*env.ctx, "Höchstgebot");
  env.state.ItemID = "12\r\n34\t5";  // line breaks and tabs in a field become blanks
  WriteLog(*env.ctx, "a\nb");

  QFile f(env.programFolder() + "/gebotsfalke.log");
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_TRUE(
      f.readAll().contains("H\xF6"
                           "chstgebot\r\n"));  // ö as the single byte 0xF6
  // The start line carries an empty item: end time 00:00:00, no item, no seconds, bid 0.
  EXPECT_EQ(
      env.logLines(),
      (QStringList{"05.12.2026 19:00:00\t00:00:00\t\t\t0\t"
                   "GebotsfalkePlus gestartet - Version 1.3.6",
                   "05.12.2026 19:59:50\t05.12.2026 20:00:00\t1234567890\t10\t12,5\tHöchstgebot",
                   "05.12.2026 19:59:50\t05.12.2026 20:00:00\t12  34 5\t10\t12,5\ta b"}));
}

TEST(WriteLog, unwritableFolderShowsTheErrorBoxEachTimeAndGoesOn) {
  TestEnv env;
  env.programInfo.folder = env.dir.path() + "/missing/folder";
  WriteLog(*env.ctx, "a");
  WriteLog(*env.ctx, "b");
  ASSERT_EQ(env.dialogs.errors.size(), 2);
  EXPECT_TRUE(env.dialogs.errors[1].endsWith("Programmteil: WriteLog"));
}

// Half a second before midnight is still today.
TEST(CheckLogfileSize, movesALogOfHalfAMebibyteOrMoreToTheDatedName) {
  TestEnv env;
  env.clock.set(2026, 12, 5, 23, 59, 59, 999);
  const QString log = env.programFolder() + "/gebotsfalke.log";
  const QString old = env.programFolder() + "/05_12_2026_old.log";
  const auto check = [&](qint64 size) {
    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(size, 'x'));
    f.close();
    CheckLogfileSize(*env.ctx);
  };
  check(524287);
  EXPECT_TRUE(QFile::exists(log));
  EXPECT_FALSE(QFile::exists(old));
  check(524288);
  EXPECT_FALSE(QFile::exists(log));
  EXPECT_EQ(QFile(old).size(), 524288);
  EXPECT_TRUE(env.dialogs.errors.isEmpty());

  // A second rotation on the same day finds the name taken: the log stays and keeps growing.
  check(600000);
  EXPECT_TRUE(QFile::exists(log));
  EXPECT_EQ(QFile(old).size(), 524288);
  ASSERT_EQ(env.dialogs.errors.size(), 1);
  EXPECT_TRUE(env.dialogs.errors[0].contains("Datei existiert bereits"));
  EXPECT_TRUE(env.dialogs.errors[0].endsWith("Programmteil: CheckLogfileSize"));
}
