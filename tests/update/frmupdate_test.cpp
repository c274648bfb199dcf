#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <fstream>

#include "bidding/inet.h"
#include "support/readonlyfolder.h"
#include "update/updaterun.h"

using namespace updatetest;

namespace {
const QString kIncomplete = QStringLiteral("Update: Download unvollständig.");
}  // namespace

TEST(FrmUpdate, downloadsEveryListedFileWithItsProgressAndHandsOverToTheInstaller) {
  UpdateRun run;
  run.vendorFile("a.txt", binary(1024));
  run.vendorFile("GEBOTSFALKEPLUS.EXE", "new version");
  // The vendor's server keeps its names in Windows-1252, and its file list says them so: a
  // name with umlauts and blanks is asked for with those codes and stored under its own name.
  const std::string umlauts = "\xC4nderungen f\xFCr 1.3.7.txt";
  const std::string vendorName = run.vendor.path().toStdString() + "/" + umlauts;
  std::ofstream(vendorName, std::ios::binary) << "neu";
  run.vendorFile("filelist", "a.txt\r\nGEBOTSFALKEPLUS.EXE\r\n" +
                                 QByteArray::fromStdString(umlauts) + "\r\ndoupdate.exe");
  writeFile(run.programFile("update.dat"), "stale");  // left by an earlier attempt
  writeFile(run.programFile("a.txt"), "old");
  // The program runs from another folder than its program folder.
  ASSERT_TRUE(QDir().mkpath(run.env.dir.path() + "/bin"));
  run.env.programInfo.executable = run.env.dir.path() + "/bin/gebotsfalkeplus";
  run.pressEnter = true;  // Enter in the window is "Online Update jetzt starten"

  QStringList atPauses;
  QStringList atCompletion;  // after each file's completion handler
  QString spinner;           // it turns I / - \ and round again
  run.click([&](FrmUpdate& w) {
    run.env.clock.onWait = [&](qint64) {
      atPauses.append(w.Label1->text() + " | " + w.LblProgress->text() +
                      (w.LblProgress->isHidden() ? " hidden" : "") +
                      (w.Timer1->isActive() ? " spinning" : ""));
    };
    QObject::connect(w.Inet2, &Inet::StateChanged, [&](int state) {
      if (state == Inet::kResponseCompleted && w.Label1->text().startsWith("Datei "))
        atCompletion.append(w.Label1->text() + " | " + w.LblProgress->text());
    });
    for (int i = 0; i < 4; ++i) {
      w.Timer1_Timer();
      spinner += w.Label2->text();
    }
  });
  EXPECT_EQ(spinner, QStringLiteral("/-\\I"));

  EXPECT_EQ(atCompletion, (QStringList{"Datei 1 von 4 des Updates wird geladen... | 100 %",
                                       "Datei 2 von 4 des Updates wird geladen... | 100 %",
                                       "Datei 3 von 4 des Updates wird geladen... | 100 %",
                                       "Datei 4 von 4 des Updates wird geladen... | 100 %"}));
  EXPECT_EQ(atPauses, (QStringList{"Datei 1 von 4 des Updates wird geladen... | 100% spinning",
                                   "Datei 2 von 4 des Updates wird geladen... | 100% spinning",
                                   "Datei 3 von 4 des Updates wird geladen... | 100% spinning",
                                   "Datei 4 von 4 des Updates wird geladen... | 100% spinning",
                                   "Datei 4 von 4 des Updates wird geladen... | 100%",
                                   "GebotsfalkePlus wird nun neu gestartet... | 100% hidden"}));
  EXPECT_EQ(readAll(run.programFile("a.txt")), binary(1024));
  EXPECT_EQ(readAll(run.programFile("update.dat")), "new version");
  EXPECT_EQ(readAll(run.programFile(QStringLiteral("Änderungen für 1.3.7.txt"))), "neu");
  EXPECT_EQ(readAll(run.programFile("doupdate.exe")), "installer");
  EXPECT_TRUE(QFileInfo(run.programFile("doupdate.exe")).isExecutable());
  // Nothing else is left in the program folder: the download's own folder is gone.
  EXPECT_EQ(QDir(run.env.programFolder())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            (QStringList{"a.txt", "doupdate.exe", "endpoints.ini", "gebotsfalke.log", "update.dat",
                         QStringLiteral("Änderungen für 1.3.7.txt")}));
  EXPECT_EQ(run.env.logMessages(),
            (QStringList{"Update: 1.3.6 -> 1.03.0007", "Update: Download gestartet.",
                         "Update: Download beendet.", "Update: update.exe aufgerufen.",
                         "Update: Fertig"}));
  EXPECT_EQ(run.env.state.AvailableVersion, QString());
  EXPECT_EQ(run.env.setting(QStringLiteral("Update")), QString());
  EXPECT_EQ(run.env.processes.started, QStringList{run.programFile("doupdate.exe")});
  // The installer learns which executable to replace.
  const QList<EnvironmentAdditions> handedOver{
      {{"GEBOTSFALKE_PROGRAM", run.env.dir.path() + "/bin/gebotsfalkeplus"}}};
  EXPECT_EQ(run.env.processes.environments, handedOver);
  EXPECT_EQ(run.env.processes.exits, QList<int>{0});
  EXPECT_TRUE(run.env.dialogs.errors.isEmpty());

  EXPECT_EQ(run.requested(),
            (QStringList{"filelist", "manifest", "manifest.sig", "a.txt", "GEBOTSFALKEPLUS.EXE",
                         QStringLiteral("Änderungen für 1.3.7.txt"), "doupdate.exe"}));
  for (const auto& r : run.server->requests()) {
    const QJsonObject h = r[QStringLiteral("headers")].toObject();
    EXPECT_EQ(QStringList({h["User-Agent"].toString(), h["Pragma"].toString(),
                           h["Proxy-Connection"].toString()}),
              QStringList({"Nachlader+ - 1.3.6 - Linux", "no-cache", "Keep-Alive"}));
  }
  // Qt reads names as UTF-8 and would not remove this one with the folder.
  std::remove(vendorName.c_str());
}

TEST(FrmUpdate, closingTheWindowStopsTheDownloadChangesNothingAndNeverHandsOver) {
  // Closed while the file list arrives, while the manifest arrives, while the second of 41
  // files arrives, in the pause after the last file, and while the restart is announced.
  enum At { kList, kManifest, kSecondFile, kLastPause, kRestart };
  for (const At at : {kList, kManifest, kSecondFile, kLastPause, kRestart}) {
    SCOPED_TRACE(at);
    UpdateRun run;
    QStringList names;
    for (int i = 0; i < 40; ++i) {
      names.append(QStringLiteral("f%1.txt").arg(i, 2, 10, QChar('0')));
      run.vendorFile(names.last(), "new");
      writeFile(run.programFile(names.last()), "old");
    }
    names.append("doupdate.exe");
    run.vendorFile("filelist", names.join("\r\n").toLatin1());
    const QStringList before = snapshot(run.env.programFolder(), {"gebotsfalke.log"});
    int pauses = 0;
    run.click([&](FrmUpdate& w) {
      auto closeWhenArriving = [&w](Inet* inet, const QString& path) {
        QObject::connect(inet, &Inet::StateChanged, &w, [&w, inet, path](int state) {
          if (state == Inet::kReceivingResponse && inet->URL.endsWith(path)) w.close();
        });
      };
      if (at == kList) closeWhenArriving(&run.env.inet1, "/files/filelist");
      if (at == kManifest) closeWhenArriving(w.Inet2, "/files/manifest");
      if (at == kSecondFile) closeWhenArriving(w.Inet2, "/files/f01.txt");
      run.env.clock.onWait = [&](qint64) {
        ++pauses;  // 2 s after each file, then 3 s, then 3 s with the restart announced
        if ((at == kLastPause && pauses == 42) || (at == kRestart && pauses == 43)) w.close();
      };
    });
    EXPECT_EQ(run.env.logMessages().last(), kIncomplete);
    run.expectNoHandOver();
    EXPECT_EQ(snapshot(run.env.programFolder(), {"gebotsfalke.log"}), before);
    const QStringList all = QStringList{"filelist", "manifest", "manifest.sig"} + names;
    const QStringList fetched[] = {all.mid(0, 1), all.mid(0, 2), all.mid(0, 5), all, all};
    EXPECT_EQ(run.requested(), fetched[at]);
    const int pausesUntilClosed[] = {0, 0, 1, 42, 43};
    EXPECT_EQ(pauses, pausesUntilClosed[at]);  // none after the close
  }
}

TEST(FrmUpdate, anotherInstanceARunningBidOrAReadOnlyProgramKeepsTheDownloadFromStarting) {
  enum Reason { kOtherInstance, kBidRunning, kReadOnlyProgram, kInstalledCopy };
  for (const Reason reason : {kOtherInstance, kBidRunning, kInstalledCopy, kReadOnlyProgram}) {
    SCOPED_TRACE(reason);
    UpdateRun run;
    run.env.processes.previous = reason == kOtherInstance;
    run.env.state.bidBusy = reason == kBidRunning;
    // Installed from the package: the package manager updates it, even where its folder could
    // be written (by the superuser).
    run.env.programInfo.installed = reason == kInstalledCopy;
    // The executable lies in a folder of its own that this user cannot write, the program
    // folder being elsewhere (as it then is): the update could not replace it.
    const QString bin = run.env.dir.path() + "/bin";
    ASSERT_TRUE(QDir().mkpath(bin));
    run.env.programInfo.executable = bin + "/gebotsfalkeplus";
    std::unique_ptr<ReadOnlyFolder> readOnly;
    if (reason == kReadOnlyProgram) {
      readOnly = std::make_unique<ReadOnlyFolder>(bin);
      if (!readOnly->holds()) GTEST_SKIP() << "this process may write into any folder";
    }
    run.click();
    readOnly.reset();
    const QStringList said[] = {
        {"Bitte beenden Sie zunächst die übrigen Instanzen von GebotsfalkePlus"},
        {},
        {"Das Online Update kann GebotsfalkePlus nicht ersetzen, weil in den Ordner des Programms "
         "nicht geschrieben werden kann:\r\n" +
         bin + "\r\nDie installierte Version bleibt unverändert."},
        {"Diese Kopie von GebotsfalkePlus wurde über die Paketverwaltung installiert und wird "
         "auch über sie aktualisiert.\r\nDas Online Update lädt deshalb nichts herunter; die "
         "installierte Version bleibt unverändert.\r\nBitte installieren Sie die neue Version "
         "als Paket, zum Beispiel mit apt."}};
    EXPECT_EQ(run.env.dialogs.messages, said[reason]);
    EXPECT_TRUE(run.env.logLines().isEmpty());
    EXPECT_TRUE(run.requested().isEmpty());
    EXPECT_EQ(QDir(bin).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList());
    run.expectNoHandOver();
    EXPECT_EQ(run.afterClick, std::make_pair(false, false));
  }
}

// The installer is there but does not start: the box says why (every cause: the table of
// installerStartError), and the offered version stays on offer (in the window's value and in
// the settings) until an installer runs.
TEST(FrmUpdate, anInstallerThatDoesNotStartNamesTheCauseAndKeepsTheOfferedVersion) {
  UpdateRun run;
  run.env.processes.answer = {StartFailure::NoRight, "Permission denied"};
  run.click();
  EXPECT_EQ(run.env.dialogs.errors,
            QStringList{"Fehlernummer:  70\r\nBeschreibung: Zugriff verweigert - doupdate.exe darf "
                        "nicht ausgeführt werden\r\nProgrammteil: Btn_Update_Click"});
  EXPECT_EQ(run.env.processes.started, QStringList{run.programFile("doupdate.exe")});
  EXPECT_TRUE(run.env.processes.exits.isEmpty());
  EXPECT_EQ(run.env.state.AvailableVersion, QStringLiteral("1.03.0007"));
  EXPECT_EQ(run.env.setting(QStringLiteral("Update")), QStringLiteral("<absent>"));
  EXPECT_EQ(run.env.logMessages().last(), QStringLiteral("Update: Download beendet."));
  EXPECT_EQ(run.afterClick, std::make_pair(false, false));  // offered again
}
