#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
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
    vendorDir = vendor.path();
    config.vendorDir = vendorDir.toStdString();
    server = std::make_unique<SimServer>(std::move(config));
    env.state.endpoints = server->endpoints();
    env.state.VersionText = QStringLiteral("1.3.6");
    env.state.InstallTag = QStringLiteral("Linux");
    env.state.AvailableVersion = QStringLiteral("1.03.0007");
    form = std::make_unique<Form1>(*env.ctx);
  }
  void vendorFile(const QString& name, const QByteArray& bytes) {
    writeFile(vendorDir + QChar('/') + name, bytes);
  }
  QString programFile(const QString& name) const { return env.programFolder() + QChar('/') + name; }
  // Clicks the update label, then the button in the update window; `during` sees the window
  // before the click.
  void click(const std::function<void(FrmUpdate&)>& during = {}) {
    env.dialogs.onExec = [&](QDialog& d) {
      auto* w = qobject_cast<FrmUpdate*>(&d);
      ASSERT_NE(w, nullptr);
      window = w;
      QObject::connect(w->Inet2, &Inet::StateChanged, [this, w](int state) {
        if (state == Inet::kResponseCompleted)
          atCompletion.append(w->Label1->text() + QStringLiteral(" | ") + w->LblProgress->text());
      });
      if (during) during(*w);
      w->Btn_Update->click();
      afterClick = {w->Btn_Update->isHidden(), w->Timer1->isActive()};
    };
    form->Lbl_update_Click();
    window = nullptr;
  }
  // The paths the simulator received. Its log line is written just after the answer went
  // out, so the last ones may take a moment: wait until `count` are there.
  QStringList requestedPaths(int count) const {
    QDeadlineTimer deadline(5000);
    while (server->requests().size() < count && !deadline.hasExpired()) QThread::msleep(5);
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
  QString vendorDir;
  std::unique_ptr<SimServer> server;
  std::unique_ptr<Form1> form;
  FrmUpdate* window = nullptr;
  QStringList atCompletion;          // "Label1 | LblProgress" after each file's completion handler
  std::pair<bool, bool> afterClick;  // button hidden, spinner running
};
}  // namespace

TEST(FrmUpdate, updateLabelOpensTheWindowWithBothVersions) {
  UpdateRun run;
  run.env.dialogs.onExec = [](QDialog& d) {
    auto& w = static_cast<FrmUpdate&>(d);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Online Update"));
    EXPECT_EQ(w.Label1->text(),
              QStringLiteral("Installierte Version: 1.3.6\r\nVerfügbare Version: 1.03.0007"));
    EXPECT_TRUE(w.LblProgress->isHidden());
    EXPECT_TRUE(w.Label2->isHidden());
    EXPECT_FALSE(w.Btn_Update->isHidden());
    EXPECT_EQ(w.Btn_Update->text(), QStringLiteral("Online Update jetzt starten"));
    EXPECT_EQ(w.Label1->font().pointSizeF(), 9.75);
    EXPECT_EQ(w.LblProgress->font().pointSizeF(), 12);
    EXPECT_EQ(w.Label2->font().pointSizeF(), 14.25);
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(w.Timer1->interval(), 250);
    // The spinner turns I / - \ and round again.
    QStringList turns;
    for (int i = 0; i < 4; ++i) {
      w.Timer1_Timer();
      turns.append(w.Label2->text());
    }
    EXPECT_EQ(turns.join(QString()), QStringLiteral("/-\\I"));
  };
  run.form->Lbl_update_Click();
  EXPECT_EQ(run.env.dialogs.execs, QList<QString>{QStringLiteral("FrmUpdate")});
}

TEST(FrmUpdate, downloadsEveryListedFileAndHandsOverToTheInstaller) {
  UpdateRun run;
  run.vendorFile(QStringLiteral("a.txt"), binary(1024));
  run.vendorFile(QStringLiteral("GEBOTSFALKEPLUS.EXE"),
                 "#!/bin/sh\necho new > \"$(dirname \"$0\")/started\"\n");
  QFile::copy(QStringLiteral(GF_DOUPDATE_EXECUTABLE), run.vendorDir + "/doupdate.exe");
  run.vendorFile(QStringLiteral("filelist"), "a.txt\r\nGEBOTSFALKEPLUS.EXE\r\ndoupdate.exe");
  // The installed version, and the leftovers of an earlier attempt.
  writeFile(run.programFile("gebotsfalkeplus"),
            "#!/bin/sh\necho old > \"$(dirname \"$0\")/started\"\n");
  QFile(run.programFile("gebotsfalkeplus"))
      .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  writeFile(run.programFile("update.dat"), "stale");

  QStringList atPauses;
  run.env.clock.onWait = [&](qint64) {
    atPauses.append(run.window->Label1->text() + " | " + run.window->LblProgress->text() +
                    (run.window->LblProgress->isHidden() ? " hidden" : "") +
                    (run.window->Timer1->isActive() ? " spinning" : ""));
  };
  run.click();

  EXPECT_EQ(run.atCompletion, (QStringList{"Datei 1 von 3 des Updates wird geladen... | 100 %",
                                           "Datei 2 von 3 des Updates wird geladen... | 100 %",
                                           "Datei 3 von 3 des Updates wird geladen... | 100 %"}));
  EXPECT_EQ(atPauses, (QStringList{"Datei 1 von 3 des Updates wird geladen... | 100% spinning",
                                   "Datei 2 von 3 des Updates wird geladen... | 100% spinning",
                                   "Datei 3 von 3 des Updates wird geladen... | 100% spinning",
                                   "Datei 3 von 3 des Updates wird geladen... | 100%",
                                   "GebotsfalkePlus wird nun neu gestartet... | 100% hidden"}));
  EXPECT_EQ(readAll(run.programFile("a.txt")), binary(1024));
  EXPECT_EQ(readAll(run.programFile("update.dat")),
            readAll(run.vendorDir + "/GEBOTSFALKEPLUS.EXE"));
  EXPECT_EQ(readAll(run.programFile("doupdate.exe")), readAll(run.vendorDir + "/doupdate.exe"));
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

  EXPECT_EQ(run.requestedPaths(4),
            (QStringList{"/files/filelist", "/files/a.txt", "/files/GEBOTSFALKEPLUS.EXE",
                         "/files/doupdate.exe"}));
  for (const auto& r : run.server->requests()) {
    const QJsonObject h = r[QStringLiteral("headers")].toObject();
    EXPECT_EQ(h["User-Agent"].toString(), QStringLiteral("Nachlader+ - 1.3.6 - Linux"));
    EXPECT_EQ(h["Pragma"].toString(), QStringLiteral("no-cache"));
    EXPECT_EQ(h["Proxy-Connection"].toString(), QStringLiteral("Keep-Alive"));
  }

  // The installer the program started swaps the new version in, and that one starts.
  QProcess installer;
  installer.start(run.env.processes.started.first(), {});
  ASSERT_TRUE(installer.waitForFinished(30000));
  EXPECT_EQ(installer.exitCode(), 0);
  EXPECT_EQ(readAll(run.programFile("gebotsfalkeplus")),
            readAll(run.vendorDir + "/GEBOTSFALKEPLUS.EXE"));
  QDeadlineTimer deadline(20000);
  while (!QFileInfo::exists(run.programFile("started")) && !deadline.hasExpired())
    QThread::msleep(10);
  EXPECT_EQ(readAll(run.programFile("started")), "new\n");
}

TEST(FrmUpdate, aTruncatedMissingOrUninstallableDownloadIsIncompleteAndNeverHandedOver) {
  // b.txt arrives cut off / is missing (404) / no installer is listed.
  for (const int fault : {0, 1, 2}) {
    sim::Config config;
    if (fault == 0) config.truncatedFiles = {"b.txt"};
    UpdateRun run(config);
    run.vendorFile("a.txt", "first");
    run.vendorFile("b.txt", binary(3000));
    run.vendorFile("doupdate.exe", "installer");
    run.vendorFile("filelist", QList<QByteArray>{"a.txt\r\nb.txt\r\ndoupdate.exe",
                                                 "a.txt\r\nmissing.txt\r\ndoupdate.exe",
                                                 "a.txt\r\nb.txt"}[fault]);
    writeFile(run.programFile("update.dat"), "stale");
    run.click();
    EXPECT_EQ(run.env.logMessages().mid(1),
              (QStringList{"Update: Download gestartet.", kIncomplete}));
    run.expectNoHandOver();
    EXPECT_EQ(readAll(run.programFile("a.txt")), "first");
    EXPECT_FALSE(QFileInfo::exists(run.programFile("update.dat")));   // removed before the download
    EXPECT_FALSE(QFileInfo::exists(run.programFile("missing.txt")));  // no error page written
    EXPECT_EQ(run.requestedPaths(3).size(), 3);
    // The window stays as it is until the user closes it: button hidden, spinner running.
    EXPECT_EQ(run.afterClick, std::make_pair(true, fault != 2));
  }
}

TEST(FrmUpdate, aListWithAnEmptyOrUnsafeNameStopsBeforeAnythingIsWritten) {
  for (const QByteArray& list :
       {QByteArray("a.txt\r\ndoupdate.exe\r\n"), QByteArray(""), QByteArray("a.txt\r\n../x"),
        QByteArray("a.txt\r\n/etc/x"), QByteArray("a.txt\r\na\\b"), QByteArray("a.txt\r\n..")}) {
    UpdateRun run;
    run.vendorFile("a.txt", "first");
    run.vendorFile("doupdate.exe", "installer");
    run.vendorFile("filelist", list);
    run.click();
    EXPECT_EQ(run.env.logMessages().last(), kIncomplete) << list.constData();
    run.expectNoHandOver();
    EXPECT_EQ(run.requestedPaths(1), QStringList{"/files/filelist"}) << list.constData();
    EXPECT_EQ(QDir(run.env.programFolder()).entryList(QDir::Files), QStringList{"gebotsfalke.log"});
    EXPECT_FALSE(QFileInfo::exists(run.env.dir.path() + "/x"));
    EXPECT_TRUE(run.env.dialogs.errors.isEmpty());
  }
}

TEST(FrmUpdate, closingTheWindowNeverLeadsToTheHandOver) {
  // Closed while the second of three files arrives, in the pause after the last file, and
  // while the restart is announced.
  for (int closeAt : {0, 1, 2}) {
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
    EXPECT_EQ(run.env.logMessages().last(), kIncomplete) << closeAt;
    run.expectNoHandOver();
    EXPECT_TRUE(run.env.state.UpdateCancelled);
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
    run.env.state.DownloadLength = 77;
    run.click();
    EXPECT_EQ(
        run.env.dialogs.messages,
        previous
            ? QStringList{"Bitte beenden Sie zunächst die übrigen Instanzen von GebotsfalkePlus"}
            : QStringList());
    EXPECT_EQ(run.env.dialogs.titles, previous ? QStringList{"GebotsfalkePlus"} : QStringList());
    EXPECT_EQ(run.env.state.DownloadLength, previous ? 0 : 77);
    EXPECT_TRUE(run.env.logLines().isEmpty());
    EXPECT_TRUE(run.requestedPaths(0).isEmpty());
    run.expectNoHandOver();
    EXPECT_EQ(run.afterClick, std::make_pair(false, false));
  }
}
