#include <gtest/gtest.h>

#include "app/dateserial.h"
#include "app/scramble.h"
#include "app/startup.h"
#include "sniper/form1.h"
#include "support/testenv.h"

namespace {
// Main reads the hosts from the program folder: keep them on the port where nobody listens.
bool runMain(TestEnv& env, Form1& form, const QStringList& args) {
  env.writeEndpointsIni(env.state.endpoints);
  return Main(*env.ctx, form, args);
}
}  // namespace

TEST(Main, onlyTheExactTimeArgumentRunsTheClockOnlyMode) {
  {
    TestEnv env;
    Form1 form(*env.ctx);
    EXPECT_FALSE(runMain(env, form, {QStringLiteral("-time")}));
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.timer1Enabled());
    EXPECT_TRUE(env.logLines().isEmpty());  // no start line, no settings read
    EXPECT_TRUE(env.state.VersionText.isEmpty());
  }
  for (const QStringList& args : {QStringList{QStringLiteral("-TIME")},
                                  QStringList{QStringLiteral("-time"), QStringLiteral("x")}}) {
    TestEnv env;
    Form1 form(*env.ctx);
    EXPECT_TRUE(runMain(env, form, args));
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(env.state.commandLine, args.join(QChar(' ')));
    ASSERT_FALSE(env.logMessages().isEmpty());
    EXPECT_EQ(env.logMessages().first(),
              QStringLiteral("GebotsfalkePlus gestartet - Version 1.3.6"));
  }
}

TEST(Form1init, firstStartUsesTheDefaultsOfEverySetting) {
  TestEnv env;
  Form1 form(*env.ctx);
  ASSERT_TRUE(runMain(env, form, {}));
  const AppState& s = env.state;
  EXPECT_EQ(s.msgonsync, 1);
  EXPECT_EQ(s.synconstart, 0);
  EXPECT_EQ(s.warnton, 1);
  EXPECT_EQ(s.saveuser, 1);
  EXPECT_EQ(s.user, QString());
  EXPECT_EQ(s.pass, QString());
  EXPECT_EQ(s.sectobid, QStringLiteral("10"));
  EXPECT_EQ(s.VersionText, QStringLiteral("1.3.6"));
  EXPECT_EQ(s.taskWindowStyleMask, 0x10800000u);
  EXPECT_EQ(s.clockLabelOffset, 200);
  // The scan that follows the caption leaves its reset caption with the revision.
  EXPECT_EQ(form.caption(), QStringLiteral(" GebotsfalkePlus 1.3.6"));
  EXPECT_FALSE(form.Lbl_update->isVisible());
  EXPECT_FALSE(form.LblBieten->isVisible());
  EXPECT_EQ(form.Shape2->fillColor(), QColor(255, 255, 232));
  EXPECT_EQ(env.state.helpFile, env.programFolder() + QStringLiteral("/gebotsfalkeplus.chm"));
  EXPECT_TRUE(env.dialogs.errors.isEmpty());
}

TEST(Form1init, readsStoredValuesAndUnscramblesThePassword) {
  TestEnv env;
  env.setSetting(QStringLiteral("user"), QStringLiteral("bieter"));
  env.setSetting(QStringLiteral("pass"),
                 cryptme(QStringLiteral("Geheim ä"), scramble::passwordKey()));
  env.setSetting(QStringLiteral("sectobid"), QStringLiteral("7"));
  env.setSetting(QStringLiteral("Update"), QStringLiteral("1.03.0007"));
  env.setSetting(QStringLiteral("synconstart"), QStringLiteral("-1"));
  Form1 form(*env.ctx);
  ASSERT_TRUE(runMain(env, form, {}));
  EXPECT_EQ(env.state.user, QStringLiteral("bieter"));
  EXPECT_EQ(env.state.pass, QStringLiteral("Geheim ä"));
  EXPECT_EQ(env.state.sectobid, QStringLiteral("7"));
  EXPECT_EQ(env.state.synconstart, -1);
  EXPECT_TRUE(form.Lbl_update->isVisible());
  EXPECT_TRUE(form.timer1Enabled() || env.state.endet == 0);
}

TEST(Form1init, aStoredIntegerThatIsNoNumberSkipsTheRestButTheWindowStillShows) {
  TestEnv env;
  env.setSetting(QStringLiteral("msgonsync"), QStringLiteral("0"));
  env.setSetting(QStringLiteral("warnton"), QStringLiteral("laut"));
  env.setSetting(QStringLiteral("user"), QStringLiteral("bieter"));
  Form1 form(*env.ctx);
  EXPECT_TRUE(runMain(env, form, {}));
  EXPECT_TRUE(form.isVisible());
  ASSERT_EQ(env.dialogs.errors.size(), 1);
  EXPECT_EQ(env.dialogs.errors[0], QStringLiteral("Fehlernummer:  13\r\nBeschreibung: Typen "
                                                  "unverträglich\r\nProgrammteil: Form1init"));
  EXPECT_EQ(env.state.msgonsync, 0);
  EXPECT_EQ(env.state.warnton, 0);       // never read
  EXPECT_EQ(env.state.user, QString());  // read after the failure: skipped
  EXPECT_EQ(env.state.sectobid, QString());
}

TEST(FormUnload, savesPlacementVersionFolderAndAStillRunningItemThenWritesTheEndLine) {
  TestEnv env;
  Form1 form(*env.ctx);
  ASSERT_TRUE(runMain(env, form, {}));
  env.state.AvailableVersion = QStringLiteral("1.03.0007");
  env.state.ItemID = QStringLiteral("1234567890");
  env.state.AuktionTitel = QStringLiteral("Nokia 3310 Handy");
  env.state.endet = dateserial::fromParts({2026, 12, 5, 20, 0, 0});
  env.clock.set(2026, 12, 5, 19, 59, 59);
  form.close();
  EXPECT_EQ(env.setting(QStringLiteral("Update")), QStringLiteral("1.03.0007"));
  EXPECT_EQ(env.setting(QStringLiteral("InstallDir")), env.programFolder());
  EXPECT_EQ(env.setting(QStringLiteral("ItemID")), QStringLiteral("1234567890"));
  EXPECT_EQ(env.setting(QStringLiteral("AuktionTitel")), QStringLiteral("Nokia 3310 Handy"));
  EXPECT_EQ(env.setting(QStringLiteral("endet")), QStringLiteral("05.12.2026 20:00:00"));
  EXPECT_EQ(env.setting(QStringLiteral("WindowState")), QStringLiteral("0"));
  EXPECT_EQ(env.logMessages().last(), QStringLiteral("GebotsfalkePlus beendet - Version 1.3.6"));
}

TEST(FormUnload, anItemWhoseEndHasComeIsForgotten) {
  TestEnv env;
  env.setSetting(QStringLiteral("ItemID"), QStringLiteral("old"));
  Form1 form(*env.ctx);
  env.state.ItemID = QStringLiteral("1234567890");
  env.state.endet = dateserial::fromParts({2026, 12, 5, 20, 0, 0});
  env.clock.set(2026, 12, 5, 20, 0, 0);
  form.Form_Unload();
  EXPECT_EQ(env.setting(QStringLiteral("ItemID")), QString());
  EXPECT_EQ(env.setting(QStringLiteral("AuktionTitel")), QString());
  EXPECT_EQ(env.setting(QStringLiteral("endet")), QString());
}

TEST(SettingsStore, fileIsReadableByItsOwnerOnly) {
  TestEnv env;
  env.setSetting(QStringLiteral("user"), QStringLiteral("bieter"));
  const QFile::Permissions p = QFile::permissions(env.settings->filePath(settingskeys::kApp));
  EXPECT_TRUE(p & QFile::ReadOwner);
  EXPECT_FALSE(p & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther));
  EXPECT_EQ(env.setting(QStringLiteral("missing"), QStringLiteral("def")), QStringLiteral("def"));
}
