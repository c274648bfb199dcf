#pragma once

#include <QString>

// doupdate: started by the program from its folder after an update download, it waits until
// the program has ended, puts the downloaded "update.dat" in place of the program's
// executable and starts the program again.
namespace installer {

// The files of the program folder the installer works with.
struct ProgramFiles {
  explicit ProgramFiles(const QString& folder);
  QString folder;
  QString program;  // the program's executable: "gebotsfalkeplus"
  QString update;   // the new version as downloaded: "update.dat"
  QString backup;   // the previous executable, kept until the next update: "gebotsfalkeplus.bak"
};

// Puts update.dat in place of the program. The previous executable is first copied to the
// backup, and the new one takes its name in one atomic rename, so the folder holds a runnable
// program at every moment. Returns false, with the program untouched, when update.dat is
// missing or anything on the way fails; every step goes to the log.
bool swapIn(const ProgramFiles& files);

// Puts the backup back in place of the program (atomically); false when it cannot.
bool restoreBackup(const ProgramFiles& files);

// Starts the program detached in its folder, without arguments.
bool startProgram(const ProgramFiles& files);

struct Options {
  int waitTimeoutMs = 60000;  // how long the program may take to end
  int pollMs = 200;
};

enum ExitCode {
  kUpdated = 0,         // the new version runs
  kKeptOld = 1,         // the update failed; the previous version runs again
  kStillRunning = 2,    // the program did not end; nothing was changed or started
  kNothingStarted = 3,  // no program could be started
};

// The whole installer run for the program folder `folder`.
ExitCode run(const QString& folder, const Options& options = Options());

}  // namespace installer
