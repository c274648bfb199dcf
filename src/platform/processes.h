#pragma once

#include <QString>
#include <QStringList>

// Starting programs and ending this one.
class Processes {
 public:
  virtual ~Processes() = default;
  // Starts a program that outlives this one; false when it could not be started.
  virtual bool startDetached(const QString& program, const QStringList& arguments,
                             const QString& workingDirectory) = 0;
  // Ends this process at once: no close handlers run, nothing more is written.
  virtual void exitNow(int code) = 0;
  // Another instance of the program was already running when this one started.
  virtual bool previousInstance() const = 0;
};
