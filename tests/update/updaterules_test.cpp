#include <gtest/gtest.h>

#include "app/vberror.h"
#include "update/updaterules.h"

using namespace updaterules;

TEST(UpdateRules, percentageRoundsHalvesToEvenAndFailsLikeTheProgram) {
  const struct {
    qint64 received;
    qint32 length;
    int percent;  // or the error number
  } cases[] = {{1, 8, 12},        {3, 8, 38}, {2, 3, 67}, {327670, 1000, 32767},
               {327680, 1000, 6},  // beyond the 16-bit range
               {0, 0, 6},         {10, 0, 11}};
  for (const auto& c : cases) {
    int got = 0;
    try {
      got = percentage(c.received, c.length);
    } catch (const VbError& e) {
      got = e.number();
    }
    EXPECT_EQ(got, c.percent) << c.received << " of " << c.length;
  }
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
