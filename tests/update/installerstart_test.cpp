#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include "platform/linux/desktop.h"
#include "support/files.h"

// The installer as the update starts it, through the real system: what went wrong is told
// apart, because the update's box names it.
TEST(InstallerStart, theSystemSaysWhyAProgramDidNotStart) {
  QTemporaryDir dir;
  const QString d = dir.path();
  QtProcesses processes(d + "/run");
  writeFile(d + "/no-right", "#!/bin/sh\n");
  writeFile(d + "/text", "installer", kRunnable);
  writeFile(d + "/elf",
            QByteArray("\x7f"
                       "ELF broken",
                       11),
            kRunnable);
  writeFile(d + "/no-interpreter", "#!/nonexistent/sh\n", kRunnable);
  const struct {
    const char* file;
    StartFailure failure;
  } cases[] = {{"missing", StartFailure::NotFound},
               {"no-right", StartFailure::NoRight},
               {"text", StartFailure::NotAProgram},
               {"elf", StartFailure::NotAProgram},
               {"no-interpreter", StartFailure::NotAProgram}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const StartResult r = processes.startDetached(d + "/" + c.file, {}, d, {});
    EXPECT_EQ(r.failure, c.failure);
    EXPECT_FALSE(r.reason.isEmpty());
  }
  EXPECT_EQ(processes.startDetached(d + "/text", {}, d + "/no-folder", {}).failure,
            StartFailure::Other);
}

// A started program gets its working folder, its arguments, this program's environment and
// the additions, which replace a variable of the same name.
TEST(InstallerStart, theStartedProgramGetsItsFolderAndTheHandedOverVariable) {
  QTemporaryDir dir;
  const QString d = QDir(dir.path()).canonicalPath();
  ASSERT_TRUE(QDir().mkpath(d + "/work"));
  QtProcesses processes(d + "/run");
  writeFile(d + "/program",
            "#!/bin/sh\nprintf '%s|%s|%s|%s' \"$#\" \"$(pwd)\" \"$GEBOTSFALKE_PROGRAM\" "
            "\"$GF_INHERITED\" > \"$(pwd)/out.tmp\"\nmv \"$(pwd)/out.tmp\" \"$(pwd)/out\"\n",
            kRunnable);
  qputenv("GF_INHERITED", "kept");
  qputenv("GEBOTSFALKE_PROGRAM", "/stale");
  const StartResult r = processes.startDetached(d + "/program", {"a b"}, d + "/work",
                                                {{"GEBOTSFALKE_PROGRAM", "/Mein Ordner/gäbe"}});
  qunsetenv("GF_INHERITED");
  qunsetenv("GEBOTSFALKE_PROGRAM");
  ASSERT_TRUE(r.started()) << r.reason.toStdString();
  QFile out(d + "/work/out");
  QDeadlineTimer deadline(20000);
  while (!out.exists() && !deadline.hasExpired()) QThread::msleep(10);
  ASSERT_TRUE(out.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(out.readAll()), "1|" + d + "/work|/Mein Ordner/gäbe|kept");
}
