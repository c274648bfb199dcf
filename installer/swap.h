#pragma once

#include <QString>

// doupdate: started by the program from its program folder after an update download, it waits
// until the program has ended, puts the downloaded "update.dat" in place of the program's
// executable and starts the program again.
namespace installer {

// The files the installer works with.
struct ProgramFiles {
  // folder: the program folder, with update.dat and the log. program: the executable to
  // replace, as the program handed it over; empty for the folder's "gebotsfalkeplus". An
  // absolute path is taken with its links resolved; a relative one is refused by swapIn.
  explicit ProgramFiles(const QString& folder, const QString& program = QString());
  QString folder;
  QString program;  // the program's executable
  QString update;   // the new version as downloaded: folder + "update.dat"
  QString backup;   // the previous executable, kept until the next update: program + ".bak"
  QString staged;   // the new version copied next to the program: program + ".new"
};

// The executable the program named in the installer's environment (empty when none); the
// variable is removed, so that the programs the installer starts do not inherit it.
QString takeHandedOverProgram();

// Puts update.dat in place of the program. The previous executable is first copied to the
// backup; the new one is copied next to it when it lies in another folder and then takes its
// name in one atomic rename, so the program's folder holds a runnable program at every moment.
// Returns false, with the program untouched, when update.dat or the program is missing or
// anything on the way fails; every step goes to the log in the program folder.
bool swapIn(const ProgramFiles& files);

// Puts the backup back in place of the program (atomically); false when it cannot.
bool restoreBackup(const ProgramFiles& files);

// Starts the program detached in the program folder, without arguments.
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

// The whole installer run.
ExitCode run(const ProgramFiles& files, const Options& options = Options());

}  // namespace installer
