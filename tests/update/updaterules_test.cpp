#include <gtest/gtest.h>

#include "app/vberror.h"
#include "update/updaterules.h"

using namespace updaterules;

namespace {
int errorOf(qint64 received, qint32 length) {
  try {
    percentage(received, length);
  } catch (const VbError& e) {
    return e.number();
  }
  return 0;
}
}  // namespace

TEST(UpdateRules, percentageRoundsHalvesToEvenAndFailsLikeTheProgram) {
  EXPECT_EQ(percentText(1024, 1024), QStringLiteral("100 %"));
  EXPECT_EQ(percentText(0, 1024), QStringLiteral("0 %"));
  EXPECT_EQ(percentage(1, 8), 12);  // 12.5
  EXPECT_EQ(percentage(3, 8), 38);  // 37.5
  EXPECT_EQ(percentage(2, 3), 67);
  EXPECT_EQ(percentage(327670, 1000), 32767);
  EXPECT_EQ(errorOf(327680, 1000), 6);  // beyond the 16-bit range
  EXPECT_EQ(errorOf(0, 0), 6);
  EXPECT_EQ(errorOf(10, 0), 11);
}

TEST(UpdateRules, namesAndTargets) {
  for (const char* bad :
       {"", ".", "..", "../x", "a/..", "x..y", "/etc/x", "a/b", "a\\b", "C:\\x", "a\tb", "a\x7f"})
    EXPECT_FALSE(isSafeFileName(QString::fromLatin1(bad))) << bad;
  for (const char* good : {"a.txt", "doupdate.exe", "GEBOTSFALKEPLUS.EXE", ".hidden", "a b"})
    EXPECT_TRUE(isSafeFileName(QString::fromLatin1(good))) << good;

  EXPECT_EQ(targetFileName(QStringLiteral("GebotsfalkePlus.EXE")), QStringLiteral("update.dat"));
  EXPECT_EQ(targetFileName(QStringLiteral("gebotsfalkeplus")), QStringLiteral("gebotsfalkeplus"));
  EXPECT_EQ(folderWithSeparator(QStringLiteral("/opt/gf")), QStringLiteral("/opt/gf/"));
  EXPECT_EQ(folderWithSeparator(QStringLiteral("/")), QStringLiteral("/"));

  EXPECT_EQ(splitFileList(QStringLiteral("a\r\nb\r\n")), (QStringList{"a", "b", ""}));
  EXPECT_EQ(splitFileList(QString()), QStringList{QString()});
  EXPECT_EQ(requestHeaders(QStringLiteral("1.3.6"), QStringLiteral("Linux")),
            QStringLiteral("Proxy-Connection: Keep-Alive\r\nPragma: no-cache\r\n"
                           "User-Agent: Nachlader+ - 1.3.6 - Linux\r\n"));
}
