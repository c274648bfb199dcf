// A program folder that cannot be written and a settings folder that cannot take a write: the
// bid still goes out and its outcome is shown, and what was stored stays readable.
#include <sys/resource.h>

#include <csignal>

#include <QDir>

#include "faultfixture.h"
#include "support/readonlyfolder.h"

using namespace faults;

namespace {

// A disk without room: every write that would make a file longer fails (EFBIG, like ENOSPC),
// for the whole process, until the end of the scope.
class FullDisk {
 public:
  FullDisk() {
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &m_old);
    rlimit full = m_old;
    full.rlim_cur = 0;
    setrlimit(RLIMIT_FSIZE, &full);
  }
  ~FullDisk() {
    setrlimit(RLIMIT_FSIZE, &m_old);
    std::signal(SIGXFSZ, m_oldHandler);
  }

 private:
  rlimit m_old{};
  void (*m_oldHandler)(int) = nullptr;
};

QByteArray fileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

// A read-only program folder fails every log line with its own error box (Restlaufzeit, Bieten
// initialisiert, the bid's five lines, entschärft, Bieten abgeschlossen, the end line); the
// settings are saved as usual. A full disk refuses the log and every setting written during the
// run, and a settings folder that cannot be written refuses the settings: the stored ones stay
// exactly as they were. Either way the bid reaches the site and its outcome is shown at the end.
TEST(Faults, aFolderThatTakesNoWriteStillBidsAndLosesNoStoredSetting) {
  enum Fault { kFullDisk, kReadOnlyProgram, kReadOnlySettings };
  for (const Fault fault : {kFullDisk, kReadOnlyProgram, kReadOnlySettings}) {
    SCOPED_TRACE(fault);
    FaultRun run;
    run.env.state.AvailableVersion = "1.03.0007";  // emptied by the check
    const int logLines = run.env.logLines().size();
    const QString file = run.env.settings->filePath(settingskeys::kApp);
    const QByteArray before = fileBytes(file);
    int ticks = 0;
    {
      std::unique_ptr<FullDisk> disk;
      std::unique_ptr<ReadOnlyFolder> folder;
      if (fault == kFullDisk) {
        disk = std::make_unique<FullDisk>();
      } else {
        folder = std::make_unique<ReadOnlyFolder>(
            fault == kReadOnlyProgram ? run.env.programFolder() : run.env.configFolder());
        if (!folder->holds()) GTEST_SKIP() << "this process may write into any folder";
      }
      ticks = run.countdownThroughTheEnd();
      run.form.move(40, 60);
      run.form.Form_Unload();
    }
    EXPECT_GT(ticks, 0);
    EXPECT_TRUE(run.siteTookTheBid());
    EXPECT_EQ(run.shown(), kHighBidder);
    EXPECT_TRUE(run.env.state.AvailableVersion.isEmpty());
    run.expectNoSettingLost();
    if (fault != kFullDisk) {  // the simulator's request log cannot be written either
      EXPECT_EQ(run.reportCode(), "hb");
    }
    EXPECT_EQ(run.errorProcedures(),
              fault == kReadOnlySettings ? QStringList() : QStringList(10, "WriteLog"));
    if (fault == kReadOnlyProgram) {
      EXPECT_EQ(run.env.logLines().size(), logLines);  // not one line got through
      EXPECT_EQ(run.onDisk("Update"), "");
      EXPECT_NE(run.onDisk("Left"), "1500");
    } else {
      EXPECT_EQ(fileBytes(file), before);
    }
  }
}
