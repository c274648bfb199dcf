#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Why a program did not start.
enum class StartFailure {
  None,         // it runs
  NotFound,     // there is no such file
  NoRight,      // the file may not be run (no execute right, or a folder that forbids it)
  NotAProgram,  // the file is no program this system can run (or its interpreter is missing)
  Other,        // anything else; the reason says what
};

struct StartResult {
  StartFailure failure = StartFailure::None;
  QString reason;  // the system's words, empty when it started
  bool started() const { return failure == StartFailure::None; }
};

// Variables set for a started program on top of this program's own environment.
using EnvironmentAdditions = QList<QPair<QString, QString>>;

// Starting programs and ending this one.
class Processes {
 public:
  virtual ~Processes() = default;
  // Starts a program in its own session, so that it outlives this one; says why when it could
  // not be started.
  virtual StartResult startDetached(const QString& program, const QStringList& arguments,
                                    const QString& workingDirectory,
                                    const EnvironmentAdditions& environment) = 0;
  // Ends this process at once: no close handlers run, nothing more is written.
  virtual void exitNow(int code) = 0;
  // Another instance of the program was already running when this one started.
  virtual bool previousInstance() const = 0;
};
