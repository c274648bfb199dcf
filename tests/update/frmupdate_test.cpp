#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <fstream>
#include <memory>

#include "bidding/inet.h"
#include "sniper/form1.h"
#include "support/readonlyfolder.h"
#include "support/simserver.h"
#include "support/testenv.h"
#include "update/frmupdate.h"

namespace {
const QString kIncomplete = QStringLiteral("Update: Download unvollständig.");

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

// Every byte value, repeated up to the length.
QByteArray binary(int length) {
  QByteArray b(length, '\0');
  for (int i = 0; i < length; ++i) b[i] = static_cast<char>(i % 256);
  return b;
}

// A program folder with version 1.3.6 offered 1.03.0007, the simulator serving the vendor
// folder, and the update window driven through the update label.
struct UpdateRun {
  explicit UpdateRun(sim::Config config = {}) {
    config.vendorDir = vendor.path().toStdString();
    server = std::make_unique<SimServer>(std::move(config));
    env.state.endpoints = server->endpoints();
    env.state.VersionText = QStringLiteral("1.3.6");
    env.state.InstallTag = QStringLiteral("Linux");
    env.state.AvailableVersion = QStringLiteral("1.03.0007");
    form = std::make_unique<Form1>(*env.ctx);
    vendorFile("a.txt", "first");
    vendorFile("b.txt", binary(3000));
    vendorFile("doupdate.exe", "installer");
  }
  void vendorFile(const QString& name, const QByteArray& bytes) {
    writeFile(vendor.path() + QChar('/') + name, bytes);
  }
  QString programFile(const QString& name) const { return env.programFolder() + QChar('/') + name; }
  // Clicks the update label, then the button in the update window (or presses Enter there);
  // `during` sees the window before the click.
  void click(const std::function<void(FrmUpdate&)>& during = {}) {
    env.dialogs.onExec = [&](QDialog& d) {
      auto& w = dynamic_cast<FrmUpdate&>(d);
      if (during) during(w);
      if (pressEnter) {
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
      } else {
        w.Btn_Update->click();
      }
      afterClick = {w.Btn_Update->isHidden(), w.Timer1->isActive()};
    };
    form->Lbl_update_Click();
  }
  QStringList requested() const {  // the names asked for under /files/
    QStringList out;
    for (const auto& r : server->requests())
      out.append(r[QStringLiteral("path")].toString().mid(7));
    return out;
  }
  // Nothing was handed over and the offered version stays.
  void expectNoHandOver() {
    EXPECT_TRUE(env.processes.started.isEmpty());
    EXPECT_TRUE(env.processes.exits.isEmpty());
    EXPECT_EQ(env.state.AvailableVersion, QStringLiteral("1.03.0007"));
    EXPECT_EQ(env.setting(QStringLiteral("Update")), QStringLiteral("<absent>"));
  }

  TestEnv env;
  QTemporaryDir vendor;
  std::unique_ptr<SimServer> server;
  std::unique_ptr<Form1> form;
  std::pair<bool, bool> afterClick;  // button hidden, spinner running
  bool pressEnter = false;
};
}  // namespace

TEST(FrmUpdate, downloadsEveryListedFileWithItsProgressAndHandsOverToTheInstaller) {
  UpdateRun run;
  run.vendorFile("a.txt", binary(1024));
  run.vendorFile("GEBOTSFALKEPLUS.EXE", "new version");
  run.vendorFile("filelist", "a.txt\r\nGEBOTSFALKEPLUS.EXE\r\ndoupdate.exe");
  writeFile(run.programFile("update.dat"), "stale");  // left by an earlier attempt
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
      if (state == Inet::kResponseCompleted)
        atCompletion.append(w.Label1->text() + " | " + w.LblProgress->text());
    });
    for (int i = 0; i < 4; ++i) {
      w.Timer1_Timer();
      spinner += w.Label2->text();
    }
  });
  EXPECT_EQ(spinner, QStringLiteral("/-\\I"));

  EXPECT_EQ(atCompletion, (QStringList{"Datei 1 von 3 des Updates wird geladen... | 100 %",
                                       "Datei 2 von 3 des Updates wird geladen... | 100 %",
                                       "Datei 3 von 3 des Updates wird geladen... | 100 %"}));
  EXPECT_EQ(atPauses, (QStringList{"Datei 1 von 3 des Updates wird geladen... | 100% spinning",
                                   "Datei 2 von 3 des Updates wird geladen... | 100% spinning",
                                   "Datei 3 von 3 des Updates wird geladen... | 100% spinning",
                                   "Datei 3 von 3 des Updates wird geladen... | 100%",
                                   "GebotsfalkePlus wird nun neu gestartet... | 100% hidden"}));
  EXPECT_EQ(readAll(run.programFile("a.txt")), binary(1024));
  EXPECT_EQ(readAll(run.programFile("update.dat")), "new version");
  EXPECT_EQ(readAll(run.programFile("doupdate.exe")), "installer");
  EXPECT_TRUE(QFileInfo(run.programFile("doupdate.exe")).isExecutable());
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
            (QStringList{"filelist", "a.txt", "GEBOTSFALKEPLUS.EXE", "doupdate.exe"}));
  for (const auto& r : run.server->requests()) {
    const QJsonObject h = r[QStringLiteral("headers")].toObject();
    EXPECT_EQ(QStringList({h["User-Agent"].toString(), h["Pragma"].toString(),
                           h["Proxy-Connection"].toString()}),
              QStringList({"Nachlader+ - 1.3.6 - Linux", "no-cache", "Keep-Alive"}));
  }
}

TEST(FrmUpdate, anIncompleteDownloadOrABadListIsNeverHandedOver) {
  const struct {
    const char* list;
    QStringList requested, files;  // besides the file list: the files asked for, those it may write
    bool truncated = false, spinning = true;
  } cases[] = {
      {"a.txt\r\nb.txt\r\ndoupdate.exe", {"a.txt", "b.txt"}, {"a.txt", "b.txt"}, true},
      {"a.txt\r\nmissing.txt\r\ndoupdate.exe", {"a.txt", "missing.txt"}, {"a.txt"}},  // 404
      {"a.txt\r\nb.txt", {"a.txt", "b.txt"}, {"a.txt", "b.txt"}, false, false},  // no installer
      // Nothing is fetched or written for an empty or unsafe name, a trailing CR LF included.
      {"a.txt\r\ndoupdate.exe\r\n", {}, {}},
      {"", {}, {}},
      {"a.txt\r\n../x", {}, {}},
      {"a.txt\r\n/etc/x", {}, {}},
      {"a.txt\r\na\\b", {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.list);
    sim::Config config;
    if (c.truncated) config.truncatedFiles = {"b.txt"};
    UpdateRun run(config);
    run.vendorFile("filelist", c.list);
    writeFile(run.programFile("update.dat"), "stale");  // removed before the download
    run.click();
    EXPECT_EQ(run.env.logMessages().mid(1),
              (QStringList{"Update: Download gestartet.", kIncomplete}));
    run.expectNoHandOver();
    EXPECT_EQ(run.requested(), QStringList{"filelist"} + c.requested);
    for (const QString& file : QDir(run.env.programFolder()).entryList(QDir::Files))
      EXPECT_TRUE(c.files.contains(file) || file == "gebotsfalke.log") << file.toStdString();
    EXPECT_FALSE(QFileInfo::exists(run.env.dir.path() + "/x"));
    // The window stays as it is until the user closes it: button hidden, spinner running.
    EXPECT_EQ(run.afterClick, std::make_pair(true, c.spinning));
  }
}

TEST(FrmUpdate, closingTheWindowNeverLeadsToTheHandOver) {
  // Closed while the second of three files arrives, in the pause after the last file, and
  // while the restart is announced.
  for (int closeAt : {0, 1, 2}) {
    SCOPED_TRACE(closeAt);
    UpdateRun run;  // the list made from the folder: a.txt, b.txt, doupdate.exe
    int pauses = 0;
    run.click([&](FrmUpdate& w) {
      if (closeAt == 0) {
        QObject::connect(w.Inet2, &Inet::StateChanged, [&w](int state) {
          if (state == Inet::kReceivingResponse && w.Label1->text().startsWith("Datei 2"))
            w.close();
        });
      } else {
        run.env.clock.onWait = [&, closeAt](qint64) {
          if (++pauses == 3 + closeAt) w.close();  // after the three 2-second pauses
        };
      }
    });
    EXPECT_EQ(run.env.logMessages().last(), kIncomplete);
    run.expectNoHandOver();
    if (closeAt > 0) {
      EXPECT_EQ(pauses, 3 + closeAt);  // closed in that pause, none after it
    }
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

// The installer is there but does not start: the box says why, and the offered version stays
// on offer (in the window's value and in the settings) until an installer runs.
TEST(FrmUpdate, anInstallerThatDoesNotStartNamesTheCauseAndKeepsTheOfferedVersion) {
  const struct {
    StartResult result;
    const char* box;
  } cases[] = {
      {{StartFailure::NoRight, "Permission denied"},
       "Fehlernummer:  70\r\nBeschreibung: Zugriff verweigert - doupdate.exe darf nicht "
       "ausgeführt werden\r\nProgrammteil: Btn_Update_Click"},
      {{StartFailure::NotAProgram, "Exec format error"},
       "Fehlernummer:  5\r\nBeschreibung: doupdate.exe ist kein auf diesem System ausführbares "
       "Programm\r\nProgrammteil: Btn_Update_Click"},
      {{StartFailure::NotFound, "No such file or directory"},
       "Fehlernummer:  53\r\nBeschreibung: Datei nicht gefunden\r\nProgrammteil: "
       "Btn_Update_Click"},
      {{StartFailure::Other, "Too many open files"},
       "Fehlernummer:  75\r\nBeschreibung: Fehler beim Zugriff auf Pfad/Datei - doupdate.exe "
       "startet nicht (Too many open files)\r\nProgrammteil: Btn_Update_Click"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.box);
    UpdateRun run;
    run.env.processes.answer = c.result;
    run.click();
    EXPECT_EQ(run.env.dialogs.errors, QStringList{QString::fromUtf8(c.box)});
    EXPECT_EQ(run.env.processes.started, QStringList{run.programFile("doupdate.exe")});
    EXPECT_TRUE(run.env.processes.exits.isEmpty());
    EXPECT_EQ(run.env.state.AvailableVersion, QStringLiteral("1.03.0007"));
    EXPECT_EQ(run.env.setting(QStringLiteral("Update")), QStringLiteral("<absent>"));
    EXPECT_EQ(run.env.logMessages().last(), QStringLiteral("Update: Download beendet."));
    EXPECT_EQ(run.afterClick, std::make_pair(false, false));  // offered again
  }
}

// The vendor's server keeps its names in Windows-1252, and its file list says them so: a name
// with umlauts and a blank is asked for with those codes and stored under its own name.
TEST(FrmUpdate, namesWithUmlautsAreAskedForInTheServersCodePage) {
  UpdateRun run;
  const std::string name = "\xC4nderungen f\xFCr 1.3.7.txt";  // Windows-1252
  std::ofstream(run.vendor.path().toStdString() + "/" + name, std::ios::binary) << "neu";
  run.vendorFile("filelist", QByteArray::fromStdString(name + "\r\ndoupdate.exe"));
  run.click();
  EXPECT_EQ(readAll(run.programFile(QStringLiteral("Änderungen für 1.3.7.txt"))), "neu");
  EXPECT_EQ(run.env.processes.started, QStringList{run.programFile("doupdate.exe")});
  EXPECT_TRUE(run.env.dialogs.errors.isEmpty());
}
