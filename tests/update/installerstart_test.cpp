#include <gtest/gtest.h>

#include <QTemporaryDir>

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
