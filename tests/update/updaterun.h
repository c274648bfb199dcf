#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTest>
#include <functional>
#include <memory>

#include "support/files.h"
#include "support/simserver.h"
#include "support/testenv.h"
#include "update/frmupdate.h"

// The update window against the simulator's vendor routes, shared by the update tests.
namespace updatetest {

// Every byte value, repeated up to the length.
inline QByteArray binary(int length) {
  QByteArray b(length, '\0');
  for (int i = 0; i < length; ++i) b[i] = static_cast<char>(i % 256);
  return b;
}

// Every entry of a folder, hidden ones too, with its kind, mode bits and content: two equal
// snapshots mean that nothing in the folder was added, removed or changed.
inline QStringList snapshot(const QString& folder, const QStringList& except = {}) {
  QStringList out;
  const auto entries = QDir(folder).entryInfoList(
      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  for (const QFileInfo& info : entries) {
    if (except.contains(info.fileName())) continue;
    out.append(QStringLiteral("%1 %2 %3 %4")
                   .arg(info.fileName(), info.isDir() ? QStringLiteral("dir") : QString())
                   .arg(static_cast<int>(info.permissions()), 0, 16)
                   .arg(QString::fromLatin1(readAll(info.filePath()).toHex())));
  }
  return out;
}

// A program folder with version 1.3.6 offered 1.03.0007, the simulator serving the vendor
// folder a.txt, b.txt (3000 bytes) and doupdate.exe, signing it as that version with its key,
// which the program trusts through endpoints.ini; the update window is opened as the update
// mark opens it.
struct UpdateRun {
  explicit UpdateRun(sim::Config config = {}) {
    config.vendorDir = vendor.path().toStdString();
    config.vendorVersion = "1.03.0007";
    server = std::make_unique<SimServer>(std::move(config));
    env.writeEndpointsIni(server->endpoints());
    env.state.endpoints = Endpoints::load(env.programFolder());
    env.state.VersionText = QStringLiteral("1.3.6");
    env.state.InstallTag = QStringLiteral("Linux");
    env.state.AvailableVersion = QStringLiteral("1.03.0007");
    vendorFile("a.txt", "first");
    vendorFile("b.txt", binary(3000));
    vendorFile("doupdate.exe", "installer");
  }
  void vendorFile(const QString& name, const QByteArray& bytes) {
    writeFile(vendor.path() + QChar('/') + name, bytes);
  }
  QString programFile(const QString& name) const { return env.programFolder() + QChar('/') + name; }
  void setVendorFaults(std::map<std::string, std::string> faults) {
    std::lock_guard<std::mutex> lock(server->sim().mutex());
    server->sim().config().vendorFaults = std::move(faults);
  }
  // Opens the update window, clicks the button in the update window (or presses Enter there);
  // `during` sees the window before the click, `after` after the download ended.
  void click(const std::function<void(FrmUpdate&)>& during = {},
             const std::function<void(FrmUpdate&)>& after = {}) {
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
      shown = w.Label1->text();
      if (after) after(w);
    };
    FrmUpdate window(*env.ctx, nullptr);
    env.dialogs.exec(window);
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

  QTemporaryDir vendor;
  std::unique_ptr<SimServer> server;  // stopped after the transfer components have ended
  TestEnv env;
  std::pair<bool, bool> afterClick;  // button hidden, spinner running
  QString shown;                     // Label1 when the download ended
  bool pressEnter = false;
};

}  // namespace updatetest
