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

// The time stamp cuts the fraction of a second: a second that has not begun never shows. The
// log is readable by its owner only, like the settings: created so, and a log of an earlier
// version that others could read is closed to them.
TEST(WriteLog, appendsSixTabSeparatedFieldsInWindows1252WithCrLfEachOnItsLine) {
  TestEnv env;
  const QString path = env.programFolder() + "/gebotsfalke.log";
  WriteLog(*env.ctx, "GebotsfalkePlus gestartet - Version 1.3.6");
  EXPECT_EQ(QFile::permissions(path) & 0x0777, 0x0600);
  QFile::setPermissions(path, QFile::permissions(path) | QFile::ReadGroup | QFile::ReadOther);
  env.clock.set(2026, 12, 5, 19, 59, 50, 999);
  env.state.endet = dateserial::fromParts({2026, 12, 5, 20, 0, 0});
  env.state.ItemID = "1234567890";
  env.state.sectobid = "10";
  env.state.maxBid = 12.5f;
  WriteLog(*env.ctx, "Höchstgebot");
  env.state.ItemID = "12\r\n34\t5";  // line breaks and tabs in a field become blanks
  WriteLog(*env.ctx, "a\nb");
  EXPECT_EQ(QFile::permissions(path) & 0x0777, 0x0600);

  QFile f(path);
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

// Every lost line has its box with the reason; the first one also names the file. (A full disk
// and a folder without the right to write are played by the fault tests.)
TEST(WriteLog, unwritableFolderShowsTheErrorBoxEachTimeAndNamesTheFileOnce) {
  TestEnv env;
  env.programInfo.folder = env.dir.path() + "/missing/folder";
  WriteLog(*env.ctx, "a");
  WriteLog(*env.ctx, "b");
  const QString box =
      "Fehlernummer:  76\r\nBeschreibung: Pfad nicht gefunden\r\nProgrammteil: WriteLog";
  EXPECT_EQ(env.dialogs.errors,
            (QStringList{"Die Datei '" + env.programInfo.folder +
                             "/gebotsfalke.log' konnte nicht geschrieben werden: Pfad nicht "
                             "gefunden.\r\nProtokollzeilen gehen verloren.",
                         box, box}));
}

// Half a second before midnight is still today. Later rotations of the day take the next free
// name; a name that is taken is never overwritten.
TEST(CheckLogfileSize, movesALogOfHalfAMebibyteOrMoreToTheNextFreeDatedName) {
  TestEnv env;
  env.clock.set(2026, 12, 5, 23, 59, 59, 999);
  const QString log = env.programFolder() + "/gebotsfalke.log";
  const auto old = [&](const char* suffix) {
    return QFile(env.programFolder() + "/05_12_2026_old" + suffix + ".log").size();
  };
  const auto check = [&](qint64 size) {
    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(size, 'x'));
    f.close();
    CheckLogfileSize(*env.ctx);
  };
  check(524287);
  EXPECT_TRUE(QFile::exists(log));
  EXPECT_EQ(old(""), 0);
  check(524288);
  EXPECT_FALSE(QFile::exists(log));
  EXPECT_EQ(old(""), 524288);
  check(600000);
  EXPECT_FALSE(QFile::exists(log));
  EXPECT_EQ(old("_2"), 600000);
  QFile(env.programFolder() + "/05_12_2026_old_3.log").open(QIODevice::WriteOnly);  // taken
  check(700000);
  EXPECT_EQ(old("_3"), 0);
  EXPECT_EQ(old("_4"), 700000);
  EXPECT_EQ(old(""), 524288);
  EXPECT_EQ(old("_2"), 600000);
  EXPECT_TRUE(env.dialogs.errors.isEmpty());
}
