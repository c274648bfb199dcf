#pragma once

// The faults of the network and of the disk are set up around a window armed on its own
// simulator, with the options stored the way the options dialog leaves them; the countdown
// then runs through the bid to the end.
#include "app/scramble.h"
#include "app/settings.h"
#include "support/files.h"
#include "support/testwindow.h"

namespace faults {

using namespace shown;

// The settings as the options dialog stores them ("pass" is scrambled), and a placement from an
// earlier run.
inline const QList<std::pair<QString, QString>> kStored = {
    {"user", "bieter"}, {"pass", "geheim"},   {"sectobid", "5"}, {"warnton", "0"},
    {"msgonsync", "0"}, {"synconstart", "0"}, {"saveuser", "1"}, {"Left", "1500"},
    {"Top", "900"},     {"WindowState", "0"}};

// Stores the settings above, puts their options in force and arms the window with 12,50.
inline void storeOptionsAndArm(TestWindow& run) {
  AppState& s = run.env.state;
  for (const auto& [key, value] : kStored)
    run.env.setSetting(key, key == "pass" ? cryptme(value, s.passwordKey) : value);
  s.sectobid = "5";
  s.warnton = 0;
  s.saveuser = 1;
  run.ui.Lbl_update->hide();
  run.armWith("12,5");
  EXPECT_TRUE(s.armed);
}

// A setting as the settings file on disk holds it.
inline QString onDisk(const TestWindow& run, const QString& key) {
  return settingOnDisk(run.env.settings->filePath(settingskeys::kApp), key);
}

// Every setting stored before the run can still be read. The options (account, seconds,
// switches) are never written by a bid or by closing, so they read exactly as before; the
// placement may have been saved anew.
inline void expectNoSettingLost(const TestWindow& run) {
  for (const auto& [key, value] : kStored) {
    const QString now = onDisk(run, key);
    EXPECT_NE(now, "<absent>") << key.toStdString();
    if (key == "pass") {
      EXPECT_EQ(decryptme(now, run.env.state.passwordKey), value);
    } else if (!QStringList{"Left", "Top", "WindowState"}.contains(key)) {
      EXPECT_EQ(now, value) << key.toStdString();
    }
  }
}

// The procedures the error boxes name.
inline QStringList errorProcedures(const TestWindow& run) {
  QStringList out;
  for (const QString& text : run.env.dialogs.errors)
    out.append(text.section("Programmteil: ", 1).section(QChar('\r'), 0, 0));
  return out;
}

}  // namespace faults
