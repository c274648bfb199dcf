#pragma once

#include <QTemporaryDir>
#include <memory>

#include "app/appstate.h"
#include "app/context.h"
#include "app/settings.h"
#include "bidding/inet.h"
#include "fakes/fakes.h"
#include "platform/services.h"
#include "update/updatemark.h"

// The main window's update mark, as the version check shows it.
struct RecordingUpdateMark : UpdateMark {
  void showUpdateMark() override { ++shown; }
  int shown = 0;
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
  FakeClipboard clipboard;
  Services services{clock,   systemClock, windowList,  sound,    shell,
                    dialogs, processes,   programInfo, clipboard};
  std::unique_ptr<SettingsStore> settings;
  AppState state;
  Inet inet1;
  std::unique_ptr<AppContext> ctx;
  RecordingUpdateMark updateMark;

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
