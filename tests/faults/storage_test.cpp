// A program folder that cannot be written and a settings folder that cannot take a write: the
// bid still goes out and its outcome is shown, and what was stored stays readable.
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>

#include <QDir>

#include "faultfixture.h"

using namespace faults;

namespace {

// Takes the right to write into a folder (and to the files in it) away from this thread. The
// mode bits alone do not stop the superuser, so for the time being the thread also gives up
// the capability that lets it pass over them.
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const QString& folder) : m_folder(folder) {
    for (const QString& name : QDir(folder).entryList(QDir::Files)) {
      m_files.append(folder + QChar('/') + name);
      chmod(QFile::encodeName(m_files.last()).constData(), 0444);
    }
    chmod(QFile::encodeName(folder).constData(), 0555);
    m_header.version = _LINUX_CAPABILITY_VERSION_3;
    m_header.pid = 0;
    if (syscall(SYS_capget, &m_header, m_saved) != 0) return;
    __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
    reduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
    m_dropped = syscall(SYS_capset, &m_header, reduced) == 0;
  }
  ~ReadOnlyFolder() {
    if (m_dropped) syscall(SYS_capset, &m_header, m_saved);
    chmod(QFile::encodeName(m_folder).constData(), 0755);
    for (const QString& file : m_files) chmod(QFile::encodeName(file).constData(), 0600);
  }
  // Whether a new file in the folder is really refused.
  bool holds() const {
    QFile probe(m_folder + QStringLiteral("/probe"));
    if (!probe.open(QIODevice::WriteOnly)) return true;
    probe.remove();
    return false;
  }

 private:
  QString m_folder;
  QStringList m_files;
  __user_cap_header_struct m_header{};
  __user_cap_data_struct m_saved[2]{};
  bool m_dropped = false;
};

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

// Every log line fails with its own error box; the bid still reaches the site, the outcome is
// shown at the end, and the settings are saved as usual.
TEST(Faults, aReadOnlyProgramFolderReportsEveryLogLineAndStillBids) {
  FaultRun run;
  const int logLinesBefore = run.env.logLines().size();
  int ticks = 0;
  {
    ReadOnlyFolder readOnly(run.env.programFolder());
    if (!readOnly.holds()) GTEST_SKIP() << "this process may write into any folder";
    ticks = run.countdownThroughTheEnd();
  }
  EXPECT_GT(ticks, 0);
  EXPECT_TRUE(run.siteTookTheBid());
  EXPECT_EQ(run.reportCode(), QStringLiteral("hb"));
  EXPECT_EQ(run.shown(), kHighBidder);
  EXPECT_EQ(run.env.logLines().size(), logLinesBefore);  // not one line got through
  // Restlaufzeit, Bieten initialisiert, the bid's five lines, entschärft, Bieten abgeschlossen.
  const QStringList boxes = run.errorProcedures();
  EXPECT_EQ(boxes, QStringList(boxes.size(), QStringLiteral("WriteLog")));
  EXPECT_EQ(boxes.size(), 9);
  run.form.Form_Unload();
  run.expectNoSettingLost();
}

// A full disk refuses the log and every setting written during the run; the stored settings
// stay exactly as they were. A settings folder that cannot be written keeps them the same way.
TEST(Faults, aSettingsFolderThatTakesNoWriteLosesNoStoredSetting) {
  for (const bool full : {true, false}) {
    SCOPED_TRACE(full ? "full disk" : "read-only settings folder");
    FaultRun run;
    run.env.state.AvailableVersion = QStringLiteral("1.03.0007");  // emptied by the check
    const QString file = run.env.settings->filePath(settingskeys::kApp);
    const QByteArray before = fileBytes(file);
    ASSERT_FALSE(before.isEmpty());
    int ticks = 0;
    {
      std::unique_ptr<FullDisk> disk;
      std::unique_ptr<ReadOnlyFolder> folder;
      if (full) {
        disk = std::make_unique<FullDisk>();
      } else {
        folder = std::make_unique<ReadOnlyFolder>(run.env.configFolder());
        if (!folder->holds()) GTEST_SKIP() << "this process may write into any folder";
      }
      ticks = run.countdownThroughTheEnd();
      run.form.move(40, 60);
      run.form.Form_Unload();
    }
    EXPECT_GT(ticks, 0);
    EXPECT_TRUE(run.siteTookTheBid());
    EXPECT_EQ(run.shown(), kHighBidder);
    EXPECT_EQ(fileBytes(file), before);
    run.expectNoSettingLost();
    EXPECT_EQ(run.onDisk(QStringLiteral("Left")), QStringLiteral("1500"));
    EXPECT_EQ(run.onDisk(QStringLiteral("Update")), QStringLiteral("<absent>"));
    // The run itself goes on with its working values.
    EXPECT_EQ(run.env.state.user, QStringLiteral("bieter"));
    EXPECT_TRUE(run.env.state.AvailableVersion.isEmpty());
    if (full) {
      EXPECT_TRUE(run.errorProcedures().contains(QStringLiteral("WriteLog")));
    }
  }
}
