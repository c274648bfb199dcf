#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "platform/linux/desktop.h"
#include "support/files.h"
#include "update/releaseplan.h"
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

// The file list's names, checked before anything else is fetched: plain, each file once, none of
// the program's own data (here the settings lie in the program folder), the installer among them.
TEST(ReleasePlan, listedNamesArePlainUniqueNotTheProgramsDataAndIncludeTheInstaller) {
  QTemporaryDir dir;
  const QString settings = dir.path() + "/Rotbart eBay-Tools.ini";
  const QString kept = " darf durch ein Update nicht ersetzt werden.";
  const std::pair<const char*, QString> cases[] = {
      {"a.txt\r\nb.txt\r\ndoupdate.exe", ""},
      {"a.txt\r\nendpoints.ini\r\ndoupdate.exe", "„endpoints.ini“" + kept},
      {"gebotsfalke.log\r\ndoupdate.exe", "„gebotsfalke.log“" + kept},
      {"Rotbart eBay-Tools.ini\r\ndoupdate.exe", "„Rotbart eBay-Tools.ini“" + kept},
      {"a.txt\r\n../x\r\ndoupdate.exe", "Die Dateiliste nennt einen unzulässigen Namen: „../x“."},
      {"a.txt\r\ndoupdate.exe\r\n", "Die Dateiliste enthält eine leere Zeile."},
      {"GEBOTSFALKEPLUS.EXE\r\ngebotsfalkeplus.exe\r\ndoupdate.exe",
       "Die Dateiliste nennt „update.dat“ mehrfach."},
      {"a.txt\r\nb.txt", "Die Dateiliste nennt kein Installationsprogramm (doupdate.exe)."}};
  for (const auto& [list, detail] : cases) {
    const auto failure =
        releaseplan::checkListedNames(splitFileList(QString::fromUtf8(list)), dir.path(), settings);
    EXPECT_EQ(failure ? failure->detail : QString(), detail) << list;
    EXPECT_TRUE(!failure || failure->kind == UpdateFailure::NotVerified) << list;
  }
}

// Only the version on offer, and only a newer one than the installed 1.3.6, however written.
TEST(ReleasePlan, theSignedVersionIsTheOfferedOneAndNewer) {
  const std::tuple<const char*, const char*, QString> cases[] = {
      {"1.3.7", "1.03.0007", ""},
      {"1.3.5", "1.03.0007",
       "Die signierte Version 1.3.5 ist nicht die angebotene Version 1.03.0007."},
      {"1.3.6", "1.3.6",
       "Die signierte Version 1.3.6 ist nicht neuer als die installierte Version 1.3.6."},
      {"1.2.9", "1.02.0009",
       "Die signierte Version 1.2.9 ist nicht neuer als die installierte Version 1.3.6."},
      {"1.10.0", "1.10.0", ""}};
  for (const auto& [signedVersion, offered, refusal] : cases) {
    const auto failure = releaseplan::checkSignedVersion(signedVersion, offered, "1.3.6");
    EXPECT_EQ(failure ? failure->detail : QString(), refusal) << signedVersion;
  }
}

// The installer as the update starts it, through the real system: what went wrong is told
// apart, and the update's box names it by its cause.
TEST(InstallerStart, theSystemSaysWhyAProgramDidNotStart) {
  QTemporaryDir dir;
  const QString d = dir.path();
  QtProcesses processes(d + "/run");
  writeFile(d + "/no-right", "#!/bin/sh\n");
  writeFile(d + "/text", "installer", kRunnable);
  writeFile(d + "/elf",
            QByteArray("\x7f"
                       "ELF broken",
                       11),
            kRunnable);
  writeFile(d + "/no-interpreter", "#!/nonexistent/sh\n", kRunnable);
  const QString notAProgram = "doupdate.exe ist kein auf diesem System ausführbares Programm";
  const struct {
    const char* file;
    QString folder;
    StartFailure failure;
    int number;
    QString description;  // followed by the system's reason and ")" where it ends in "("
  } cases[] = {
      {"missing", d, StartFailure::NotFound, 53, "Datei nicht gefunden"},
      {"no-right", d, StartFailure::NoRight, 70,
       "Zugriff verweigert - doupdate.exe darf nicht ausgeführt werden"},
      {"text", d, StartFailure::NotAProgram, 5, notAProgram},
      {"elf", d, StartFailure::NotAProgram, 5, notAProgram},
      {"no-interpreter", d, StartFailure::NotAProgram, 5, notAProgram},
      {"text", d + "/no-folder", StartFailure::Other, 75,
       "Fehler beim Zugriff auf Pfad/Datei - doupdate.exe startet nicht ("},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const StartResult r = processes.startDetached(d + "/" + c.file, {}, c.folder, {});
    EXPECT_EQ(r.failure, c.failure);
    EXPECT_FALSE(r.reason.isEmpty());
    const VbError e = installerStartError(r);
    EXPECT_EQ(e.number(), c.number);
    EXPECT_EQ(e.description(),
              c.description.endsWith("(") ? c.description + r.reason + ")" : c.description);
  }
}
