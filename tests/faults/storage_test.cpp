// A program folder that cannot be written, a settings folder that cannot take a write and a full
// disk: the bid still goes out and its outcome is shown, what was stored stays readable, and
// the user learns which file could not be written and why.
#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

#include <QDir>
#include <QDirIterator>
#include <QMap>

#include "faultfixture.h"
#include "support/files.h"
#include "support/readonlyfolder.h"
#include "support/texts.h"

using namespace faults;

namespace {

// A full disk: a small tmpfs mounted over a folder, holding the files that were there (but the
// log: on a full disk the last block of a file may still take a few bytes, and here every line
// is to be refused), filled up to the last block. It is mounted in a mount namespace of this
// thread's own, so nothing stays mounted outside the test. At the end the files are copied
// back into the folder as the full disk left them.
class FullDisk {
 public:
  explicit FullDisk(const QString& folder) : m_folder(folder) {
    const QMap<QString, QByteArray> files = take(folder, QStringLiteral("gebotsfalke.log"));
    const QByteArray path = QFile::encodeName(folder);
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", path.constData(), "tmpfs", 0, "size=256k,mode=0700") != 0) {
      m_why = QString::fromLocal8Bit(strerror(errno));
      return;
    }
    m_mounted = true;
    put(folder, files);
    QFile filler(folder + QStringLiteral("/filler"));
    filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    while (filler.write(QByteArray(4096, 'x')) > 0) {
    }
  }
  ~FullDisk() {
    if (!m_mounted) return;
    QMap<QString, QByteArray> files = take(m_folder, QString());
    files.remove(QStringLiteral("filler"));
    umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
    put(m_folder, files);
  }
  bool holds() const { return m_mounted; }
  QString why() const { return m_why; }

 private:
  // Every file below the folder (relative path -> content), but `except`.
  static QMap<QString, QByteArray> take(const QString& folder, const QString& except) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString file = it.next();
      if (it.fileName() == except) continue;
      QFile f(file);
      if (f.open(QIODevice::ReadOnly))
        files.insert(QDir(folder).relativeFilePath(file), f.readAll());
    }
    return files;
  }
  static void put(const QString& folder, const QMap<QString, QByteArray>& files) {
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
      const QString file = folder + QChar('/') + it.key();
      QDir().mkpath(QFileInfo(file).absolutePath());
      QFile f(file);
      if (f.open(QIODevice::WriteOnly)) f.write(it.value());
      f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    QDir().mkpath(folder + QStringLiteral("/program"));
  }

  QString m_folder;
  QString m_why;
  bool m_mounted = false;
};

}  // namespace

// A read-only program folder fails every log line with its own error box (Restlaufzeit, Bieten
// initialisiert, the bid's five lines, entschärft, Bieten abgeschlossen, the end line), and the
// first one names the file; the settings are saved as usual. A full disk refuses the log and
// every setting written during the run, and a settings folder that cannot be written refuses
// the settings: the stored ones stay exactly as they were, and the user is told once which file
// could not be written and why. Either way the bid reaches the site and its outcome is shown at
// the end. A reply the program cannot read ("er") on a full disk loses its diagnostic page: a
// box names it, and the failed bid is shown at once and reported all the same.
TEST(Faults, aFolderThatTakesNoWriteStillBidsAndLosesNoStoredSetting) {
  enum Fault { kFullDisk, kReadOnlyProgram, kReadOnlySettings, kFullDiskUnknownReply };
  QStringList skipped;
  for (const Fault fault :
       {kFullDisk, kReadOnlyProgram, kReadOnlySettings, kFullDiskUnknownReply}) {
    SCOPED_TRACE(fault);
    const bool fullDisk = fault == kFullDisk || fault == kFullDiskUnknownReply;
    const bool unknownReply = fault == kFullDiskUnknownReply;
    sim::Config config = auctionSite();
    config.unknownReply = unknownReply;
    TestWindow run(config);
    storeOptionsAndArm(run);
    run.env.state.AvailableVersion = "1.03.0007";  // emptied by the check
    const int logLines = run.env.logLines().size();
    const QString file = run.env.settings->filePath(settingskeys::kApp);
    const QString log = run.env.programFolder() + "/gebotsfalke.log";
    const QByteArray before = readAll(file);
    bool responsive = false;
    {
      std::unique_ptr<FullDisk> disk;
      std::unique_ptr<ReadOnlyFolder> folder;
      if (fullDisk) {
        disk = std::make_unique<FullDisk>(run.env.dir.path());
        if (!disk->holds()) {
          skipped << "no tmpfs can be mounted here (" + disk->why() + ")";
          continue;
        }
      } else {
        folder = std::make_unique<ReadOnlyFolder>(
            fault == kReadOnlyProgram ? run.env.programFolder() : run.env.configFolder());
        if (!folder->holds()) {
          skipped << "this process may write into any folder";
          continue;
        }
      }
      responsive = run.countdownThroughTheEnd();
      run.form.move(40, 60);
      run.form.Form_Unload();
    }
    EXPECT_TRUE(responsive);
    EXPECT_EQ(run.siteTookTheBid(), !unknownReply);
    EXPECT_EQ(run.shownInThePause, unknownReply ? kProblem : kPlaced);
    EXPECT_EQ(run.shown(), unknownReply ? kProblem : kHighBidder);
    EXPECT_EQ(run.reportCode(), unknownReply ? "er" : "hb");
    EXPECT_TRUE(run.env.state.AvailableVersion.isEmpty());
    expectNoSettingLost(run);

    const QString reason = fullDisk ? "Datenträger voll" : "Zugriff verweigert";
    const QString logBox =
        QString("Fehlernummer:  %1\r\nBeschreibung: %2\r\nProgrammteil: WriteLog")
            .arg(fullDisk ? 61 : 70)
            .arg(reason);
    const auto notice = [&](const QString& path, const char* consequence) {
      return "Die Datei '" + path + "' konnte nicht geschrieben werden: " + reason + ".\r\n" +
             consequence;
    };
    QStringList expected;
    if (fault != kReadOnlySettings)
      expected << notice(log, "Protokollzeilen gehen verloren.") << QStringList(10, logBox);
    if (fault != kReadOnlyProgram)
      expected << notice(file, "Geänderte Einstellungen werden nicht gespeichert.");
    if (unknownReply)
      expected << notice(run.env.programFolder() + "/Teil_1__1234567890.htm",
                         "Die Seite wird nicht für die Fehlersuche aufbewahrt.");
    QStringList shownBoxes = run.env.dialogs.errors;
    shownBoxes.sort();
    expected.sort();
    EXPECT_EQ(shownBoxes.join("\n---\n").toStdString(), expected.join("\n---\n").toStdString());

    if (fault == kReadOnlyProgram) {
      EXPECT_EQ(run.env.logLines().size(), logLines);  // not one line got through
      EXPECT_EQ(onDisk(run, "Update"), "");
      EXPECT_NE(onDisk(run, "Left"), "1500");
    } else {
      EXPECT_EQ(readAll(file), before);
    }
    if (fullDisk) EXPECT_TRUE(run.env.logLines().isEmpty());
  }
  if (!skipped.isEmpty()) GTEST_SKIP() << skipped.join("; ").toStdString();
}
