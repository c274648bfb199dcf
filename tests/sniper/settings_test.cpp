// One bad stored value costs only itself: the program starts with every other setting, and
// closing it writes no setting away.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/scramble.h"
#include "sniper/form1.h"
#include "sniper/startup.h"
#include "support/files.h"
#include "support/readonlyfolder.h"
#include "support/testenv.h"

namespace {
// The settings as the options dialog and an earlier close leave them: a running auction, an
// account, the switches turned off, an announced version. Sorted as QSettings writes them.
QList<std::pair<QString, QString>> stored() {
  // clang-format off
  return {{"AuktionTitel", "Lampe"}, {"InstallDir", "/opt/gebotsfalke"}, {"ItemID", "1234567890"},
          {"Left", "1500"}, {"Top", "900"}, {"Update", "1.03.0007"}, {"WindowState", "0"},
          {"endet", "05.12.2026 20:00:00"}, {"msgonsync", "0"},
          {"pass", cryptme("geheim", scramble::passwordKey())}, {"saveuser", "1"},
          {"sectobid", "7"}, {"synconstart", "0"}, {"user", "bieter"}, {"warnton", "0"}};
  // clang-format on
}

QString intBox(int number, const QString& description, const QString& key, int fallback) {
  return QString(
             "Fehlernummer:  %1\r\nBeschreibung: %2 (Einstellung '%3', es gilt der "
             "Standardwert %4)\r\nProgrammteil: Form1init")
      .arg(number)
      .arg(description, key)
      .arg(fallback);
}
}  // namespace

// Each row stores one bad value (or line) among the settings above, starts the program and
// closes it. A number that cannot be read falls back to its default with one box naming it;
// a line that makes QSettings lose the keys after it (a lone '"', an unclosed "[") has the file
// copied aside and read line by line, and the user is told once. Either way the account, the
// seconds, the item and the version are read, and after the close every setting is on disk as
// it was (the bad ones as written: the program does not guess what was meant). Where the file
// cannot be put aside (a settings folder without the right to write), it is left exactly as it
// was and the run works with what its lines hold.
TEST(SettingsStore, oneBadValueLosesNoOtherSettingThroughAStartAndAClose) {
  struct Row {
    const char* name;
    QString key, value;  // the bad value; an empty key adds `value` as a line of its own
    std::function<qint16(const AppState&)> read;
    qint16 expected;
    QStringList boxes;      // beside the notice about a damaged file
    QString lost;           // the keys QSettings lost, as the notice names them; empty: no notice
    bool readOnly = false;  // the settings folder takes no write
  };
  const QString typ = "Typen unverträglich";
  const auto msg = [](const AppState& s) { return s.msgonsync; };
  const auto tone = [](const AppState& s) { return s.warnton; };
  const auto save = [](const AppState& s) { return s.saveuser; };
  const QString afterTitle =
      "InstallDir, ItemID, Left, Top, Update, WindowState, endet, msgonsync, pass, saveuser, "
      "sectobid, synconstart, user, warnton";
  // clang-format off
  const QList<Row> rows = {
      // Every switch is read by the same rule: one of them stands for all.
      {"msgonsync no number", "msgonsync", "abc", msg, 1, {intBox(13, typ, "msgonsync", 1)}, ""},
      {"saveuser too large", "saveuser", "99999", save, 1, {intBox(6, "Überlauf", "saveuser", 1)}, ""},
      {"lone quote in the title", "AuktionTitel", "Lampe \"Art Deco", tone, 0, {}, afterTitle},
      {"lone quote in a number", "msgonsync", "0\"", msg, 1, {intBox(13, typ, "msgonsync", 1)},
       "pass, saveuser, sectobid, synconstart, user, warnton"},
      {"unclosed section line", "", "[Gebotsfalke", tone, 0, {},
       "msgonsync, pass, saveuser, sectobid, synconstart, user, warnton"},
      // Binary bytes in keys: each is written anew so that it reads back as itself (one copy
      // aside, not one more with every write); a lost one is counted, not quoted.
      {"binary bytes", "", QString::fromLatin1("\x01\xff\xfe\x7f=\"\x03\n\x02\x03=1"), tone, 0,
       {}, "msgonsync, pass, saveuser, sectobid, synconstart, user, warnton, 1 Zeile ohne lesbaren "
       "Namen"},
      {"lone quote, folder without the right to write", "AuktionTitel", "Lampe \"Art Deco", tone,
       0, {}, afterTitle, true},
  };
  // clang-format on
  QStringList skipped;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TestEnv env;
    const QString file = env.settings->filePath(settingskeys::kApp);
    QList<std::pair<QString, QString>> settings = stored();
    QByteArray text = "[Gebotsfalke%2B]\n";
    for (auto& [key, value] : settings) {
      if (row.key.isEmpty() && key == "msgonsync") text += row.value.toUtf8() + "\n";
      if (key == row.key) value = row.value;
      text += key.toUtf8() + "=" + value.toUtf8() + "\n";
    }
    {
      QFile f(file);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(text);
    }
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    env.windowList.list = {{0x7fff0001, true, true, "Terminal"}};  // no auction page: saved item
    env.writeEndpointsIni(env.state.endpoints);
    std::unique_ptr<ReadOnlyFolder> folder;
    if (row.readOnly) {
      folder = std::make_unique<ReadOnlyFolder>(env.configFolder());
      if (!folder->holds()) {
        skipped << "this process may write into any folder";
        continue;
      }
    }
    Form1 form(*env.ctx);
    ASSERT_TRUE(Main(*env.ctx, form, {}));

    const AppState& s = env.state;
    EXPECT_EQ(row.read(s), row.expected);
    EXPECT_EQ(s.user, "bieter");
    EXPECT_EQ(s.pass, "geheim");
    EXPECT_EQ(s.sectobid, "7");
    EXPECT_EQ(s.AvailableVersion, "1.03.0007");
    EXPECT_EQ(s.ItemID, "1234567890");
    EXPECT_FALSE(form.labelZeitCaption().isEmpty());  // the countdown runs
    QStringList boxes = env.dialogs.errors;
    const QString damaged = "Die Einstellungsdatei '" + file + "' ";
    const QString lost = " (nicht lesbar waren: " + row.lost + ")";
    if (row.readOnly) {
      ASSERT_FALSE(boxes.isEmpty());
      EXPECT_EQ(boxes.takeFirst().toStdString(),
                (damaged + "ist beschädigt" + lost +
                 " und konnte nicht gesichert werden: Zugriff verweigert.\r\nDie Einstellungen "
                 "wurden Zeile für Zeile gelesen. Geänderte Einstellungen werden nicht "
                 "gespeichert.")
                    .toStdString());
    } else if (!row.lost.isEmpty()) {
      ASSERT_FALSE(boxes.isEmpty());
      EXPECT_EQ(boxes.takeFirst().toStdString(),
                (damaged + "war beschädigt" + lost + ".\r\nSie wurde als '" + file +
                 ".defekt' gesichert und Zeile für Zeile neu eingelesen. Bitte prüfen Sie "
                 "die Optionen.")
                    .toStdString());
      EXPECT_EQ(readAll(file + ".defekt"), text);
      EXPECT_EQ(QFile::permissions(file + ".defekt") & 0x7077,
                QFile::ReadOwner | QFile::WriteOwner);
    }
    EXPECT_EQ(boxes.join("\n").toStdString(), row.boxes.join("\n").toStdString());

    form.close();
    folder.reset();
    if (row.readOnly) {  // nothing was written over it
      EXPECT_EQ(readAll(file), text);
      EXPECT_TRUE(QDir(env.configFolder()).entryList({"*.defekt*"}).isEmpty());
      continue;
    }
    for (const auto& [key, value] : settings) {
      if (key == "Left" || key == "Top" || key == "InstallDir") {  // saved anew at the close
        EXPECT_NE(settingOnDisk(file, key), "<absent>") << key.toStdString();
      } else {
        EXPECT_EQ(settingOnDisk(file, key), value) << key.toStdString();
      }
    }
    // The next start finds a sound file: nothing more to tell.
    int told = 0;
    SettingsStore next(env.configFolder());
    next.setNotifier([&](const QString&) { ++told; });
    EXPECT_EQ(next.GetSetting(settingskeys::kApp, settingskeys::kSection, "user"), "bieter");
    EXPECT_EQ(told, 0);
    EXPECT_EQ(QDir(env.configFolder()).entryList({"*.defekt*"}).size(), row.lost.isEmpty() ? 0 : 1);
  }
  if (!skipped.isEmpty()) GTEST_SKIP() << skipped.join("; ").toStdString();
}
