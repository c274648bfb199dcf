#pragma once

#include <QString>

// Where the program lives.
class ProgramInfo {
 public:
  virtual ~ProgramInfo() = default;
  // The program folder: log, diagnostic pages, update files and endpoints.ini live here.
  virtual QString programFolder() const = 0;
  // The real path of the running executable (symbolic links resolved): the file an update
  // replaces. It may lie outside the program folder.
  virtual QString executablePath() const = 0;
  // Whether this copy was installed into the system (the package, or `cmake --install`) rather
  // than unpacked as a portable folder: the package manager updates it, not the program.
  virtual bool installedCopy() const = 0;
};
