#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <memory>

#include "bidding/inet.h"
#include "sniper/form1.h"
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
  }
  void vendorFile(const QString& name, const QByteArray& bytes) {
    writeFile(vendor.path() + QChar('/') + name, bytes);
  }
  QString programFile(const QString& name) const { return env.programFolder() + QChar('/') + name; }
  // Clicks the update label, then the button in the update window; `during` sees the window
  // before the click.
  void click(const std::function<void(FrmUpdate&)>& during = {}) {
    env.dialogs.onExec = [&](QDialog& d) {
      auto& w = dynamic_cast<FrmUpdate&>(d);
      window = &w;
      if (during) during(w);
      w.Btn_Update->click();
      afterClick = {w.Btn_Update->isHidden(), w.Timer1->isActive()};
    };
    form->Lbl_update_Click();
  }
  QStringList requestedPaths() const {
    QStringList out;
    for (const auto& r : server->requests()) out.append(r[QStringLiteral("path")].toString());
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
  FrmUpdate* window = nullptr;
  std::pair<bool, bool> afterClick;  // button hidden, spinner running
};
}  // namespace

TEST(FrmUpdate, downloadsEveryListedFileWithItsProgressAndHandsOverToTheInstaller) {
  UpdateRun run;
  run.vendorFile(QStringLiteral("a.txt"), binary(1024));
  run.vendorFile(QStringLiteral("GEBOTSFALKEPLUS.EXE"), "new version");
  run.vendorFile(QStringLiteral("doupdate.exe"), "installer");
  run.vendorFile(QStringLiteral("filelist"), "a.txt\r\nGEBOTSFALKEPLUS.EXE\r\ndoupdate.exe");
  writeFile(run.programFile("update.dat"), "stale");  // left by an earlier attempt

  QStringList atPauses;
  run.env.clock.onWait = [&](qint64) {
    atPauses.append(run.window->Label1->text() + " | " + run.window->LblProgress->text() +
                    (run.window->LblProgress->isHidden() ? " hidden" : "") +
                    (run.window->Timer1->isActive() ? " spinning" : ""));
  };
  QStringList atCompletion;  // after each file's completion handler
  QString spinner;           // it turns I / - \ and round again
  run.click([&](FrmUpdate& w) {
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
  EXPECT_EQ(run.env.processes.exits, QList<int>{0});
  EXPECT_TRUE(run.env.dialogs.errors.isEmpty());

  EXPECT_EQ(run.requestedPaths(),
            (QStringList{"/files/filelist", "/files/a.txt", "/files/GEBOTSFALKEPLUS.EXE",
                         "/files/doupdate.exe"}));
  for (const auto& r : run.server->requests()) {
    const QJsonObject h = r[QStringLiteral("headers")].toObject();
    EXPECT_EQ(h["User-Agent"].toString(), QStringLiteral("Nachlader+ - 1.3.6 - Linux"));
    EXPECT_EQ(h["Pragma"].toString(), QStringLiteral("no-cache"));
    EXPECT_EQ(h["Proxy-Connection"].toString(), QStringLiteral("Keep-Alive"));
  }
}

TEST(FrmUpdate, aTruncatedMissingOrUninstallableDownloadIsIncompleteAndNeverHandedOver) {
  const struct {
    const char* what;
    QByteArray list;
    bool truncated;
  } cases[] = {{"b.txt arrives cut off", "a.txt\r\nb.txt\r\ndoupdate.exe", true},
               {"a listed file is missing (404)", "a.txt\r\nmissing.txt\r\ndoupdate.exe", false},
               {"no installer is listed", "a.txt\r\nb.txt", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Config config;
    if (c.truncated) config.truncatedFiles = {"b.txt"};
    UpdateRun run(config);
    run.vendorFile("a.txt", "first");
    run.vendorFile("b.txt", binary(3000));
    run.vendorFile("doupdate.exe", "installer");
    run.vendorFile("filelist", c.list);
    writeFile(run.programFile("update.dat"), "stale");
    run.click();
    EXPECT_EQ(run.env.logMessages().mid(1),
              (QStringList{"Update: Download gestartet.", kIncomplete}));
    run.expectNoHandOver();
    EXPECT_EQ(readAll(run.programFile("a.txt")), "first");
    EXPECT_FALSE(QFileInfo::exists(run.programFile("update.dat")));   // removed before the download
    EXPECT_FALSE(QFileInfo::exists(run.programFile("missing.txt")));  // no error page written
    EXPECT_EQ(run.requestedPaths().size(), 3);
    // The window stays as it is until the user closes it: button hidden, spinner running.
    EXPECT_EQ(run.afterClick, std::make_pair(true, c.list.contains("doupdate")));
  }
}

TEST(FrmUpdate, aListWithAnEmptyOrUnsafeNameStopsBeforeAnythingIsWritten) {
  for (const QByteArray& list :
       {QByteArray("a.txt\r\ndoupdate.exe\r\n"), QByteArray(""), QByteArray("a.txt\r\n../x"),
        QByteArray("a.txt\r\n/etc/x"), QByteArray("a.txt\r\na\\b")}) {
    SCOPED_TRACE(list.constData());
    UpdateRun run;
    run.vendorFile("a.txt", "first");
    run.vendorFile("doupdate.exe", "installer");
    run.vendorFile("filelist", list);
    run.click();
    EXPECT_EQ(run.env.logMessages().last(), kIncomplete);
    run.expectNoHandOver();
    EXPECT_EQ(run.requestedPaths(), QStringList{"/files/filelist"});
    EXPECT_EQ(QDir(run.env.programFolder()).entryList(QDir::Files), QStringList{"gebotsfalke.log"});
    EXPECT_FALSE(QFileInfo::exists(run.env.dir.path() + "/x"));
  }
}

TEST(FrmUpdate, closingTheWindowNeverLeadsToTheHandOver) {
  // Closed while the second of three files arrives, in the pause after the last file, and
  // while the restart is announced.
  for (int closeAt : {0, 1, 2}) {
    SCOPED_TRACE(closeAt);
    UpdateRun run;
    run.vendorFile("a.txt", "first");
    run.vendorFile("b.txt", binary(2000));
    run.vendorFile("doupdate.exe", "installer");
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

TEST(FrmUpdate, anotherRunningInstanceOrARunningBidKeepsTheDownloadFromStarting) {
  for (const bool previous : {true, false}) {
    UpdateRun run;
    run.vendorFile("doupdate.exe", "installer");
    run.env.processes.previous = previous;
    run.env.state.bidBusy = !previous;
    run.click();
    EXPECT_EQ(
        run.env.dialogs.messages,
        previous
            ? QStringList{"Bitte beenden Sie zunächst die übrigen Instanzen von GebotsfalkePlus"}
            : QStringList());
    EXPECT_TRUE(run.env.logLines().isEmpty());
    EXPECT_TRUE(run.requestedPaths().isEmpty());
    run.expectNoHandOver();
    EXPECT_EQ(run.afterClick, std::make_pair(false, false));
  }
}
