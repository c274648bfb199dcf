#pragma once

#include <QTemporaryDir>
#include <memory>

#include "app/appstate.h"
#include "app/context.h"
#include "app/settings.h"
#include "bidding/bidview.h"
#include "bidding/inet.h"
#include "fakes/fakes.h"
#include "platform/services.h"

// What the main window is told: the update mark, as the version check shows it, and the bid's
// outcome codes, as the bid transaction reports them.
struct RecordingWindow : BidView {
  void showUpdateMark() override { ++updateMarkShown; }
  void bidOutcomeKnown(const QString& code) override { outcomes << code; }
  int updateMarkShown = 0;
  QStringList outcomes;
};

// A fresh program environment for one test: fake services, a temporary program folder and
// settings folder, the shared values and the transfer component Inet1. A test's own servers are
// declared before it: Inet1 keeps its connection open until it is destroyed, and a server
// stopped while a client holds one waits seconds for it.
struct TestEnv {
  TestEnv();

  QTemporaryDir dir;
  FakeClock clock;
  FakeSystemClock systemClock;
  FakeWindowList windowList;
  FakeSound sound;
  FakeShell shell;
  FakeDialogs dialogs;
  FakeProcesses processes;
  FakeProgramInfo programInfo;
  FakeSleepInhibitor sleepInhibitor;
  FakeNotifier notifier;
  FakeClipboard clipboard;
  FakeKeyring keyring;
  Services services{clock,     systemClock, windowList,     sound,    shell,     dialogs,
                    processes, programInfo, sleepInhibitor, notifier, clipboard, keyring};
  std::unique_ptr<SettingsStore> settings;
  AppState state;
  Inet inet1;
  std::unique_ptr<AppContext> ctx;
  RecordingWindow window;

  QString programFolder() const { return programInfo.folder; }
  QString configFolder() const;
  // The settings of the main window's section.
  QString setting(const QString& key, const QString& def = QStringLiteral("<absent>")) const;
  void setSetting(const QString& key, const QString& value);
  // Writes endpoints.ini into the program folder (read by Main at start).
  void writeEndpointsIni(const Endpoints& endpoints);
  // The log's lines (without CR LF), decoded from Windows-1252.
  QStringList logLines() const;
  // The message fields (the sixth) of the log lines.
  QStringList logMessages() const;
};
