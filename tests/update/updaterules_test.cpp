#include <gtest/gtest.h>

#include "update/updaterules.h"

using namespace updaterules;

TEST(UpdateRules, percentageRoundsHalvesToEvenAndAnEmptyFileIsComplete) {
  const struct {
    qint64 received, length;
    int percent;
  } cases[] = {{1, 8, 12}, {3, 8, 38}, {2, 3, 67}, {0, 0, 100}, {2147483647, 2147483647, 100}};
  for (const auto& c : cases)
    EXPECT_EQ(percentage(c.received, c.length), c.percent) << c.received << " of " << c.length;
  EXPECT_EQ(percentText(0, 1024), QStringLiteral("0 %"));
}

TEST(UpdateRules, onlyPlainNamesInTheProgramFolderAndTheProgramArrivesAsUpdateDat) {
  for (const char* bad :
       {"", ".", "..", "../x", "a/..", "x..y", "/etc/x", "a/b", "a\\b", "C:\\x", "a\tb", "a\x7f"})
    EXPECT_FALSE(isSafeFileName(QString::fromLatin1(bad))) << bad;
  for (const char* good : {"a.txt", "doupdate.exe", ".hidden", "a b"})
    EXPECT_TRUE(isSafeFileName(QString::fromLatin1(good))) << good;
  EXPECT_EQ(targetFileName(QStringLiteral("GebotsfalkePlus.EXE")), QStringLiteral("update.dat"));
  EXPECT_EQ(targetFileName(QStringLiteral("gebotsfalkeplus")), QStringLiteral("gebotsfalkeplus"));
}
