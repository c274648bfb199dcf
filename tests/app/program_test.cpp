#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

#include "app/settings.h"
#include "platform/linux/coredumps.h"
#include "support/testenv.h"

TEST(SettingsStore, fileIsReadableByItsOwnerOnly) {
  TestEnv env;
  env.setSetting("user", "bieter");
  const QFile::Permissions p = QFile::permissions(env.settings->filePath(settingskeys::kApp));
  EXPECT_TRUE(p & QFile::ReadOwner);
  EXPECT_FALSE(p & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther));
}

// The password is in the program's memory: no core file of it may be written, and other
// processes of the user may not read it. The switch itself is checked in a child process; the
// program's limit while it runs.
TEST(Program, writesNoCoreDumpOfItsMemory) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const bool ok = disableCoreDumps();
    rlimit core{};
    getrlimit(RLIMIT_CORE, &core);
    _exit(ok && core.rlim_cur == 0 && core.rlim_max == 0 && prctl(PR_GET_DUMPABLE) == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  TestEnv env;
  env.writeEndpointsIni(env.state.endpoints);
  QDir().mkpath(env.dir.path() + "/runtime");
  QFile::setPermissions(env.dir.path() + "/runtime",
                        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove("DISPLAY");
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("GEBOTSFALKE_HOME", env.programFolder());
  environment.insert("XDG_CONFIG_HOME", env.configFolder());
  environment.insert("XDG_RUNTIME_DIR", env.dir.path() + "/runtime");
  QProcess program;
  program.setProcessEnvironment(environment);
  program.start(GF_PROGRAM_EXECUTABLE, {});
  ASSERT_TRUE(program.waitForStarted());
  QDeadlineTimer deadline(20000);
  while (env.logLines().isEmpty() && !deadline.hasExpired()) QThread::msleep(20);
  QFile limits(QString("/proc/%1/limits").arg(program.processId()));
  ASSERT_TRUE(limits.open(QIODevice::ReadOnly));
  const QString core = QString::fromLatin1(limits.readAll()).section("Max core file size", 1, 1);
  EXPECT_TRUE(core.simplified().startsWith("0 0 bytes")) << core.toStdString();
  program.terminate();
  EXPECT_TRUE(program.waitForFinished(20000));
}
