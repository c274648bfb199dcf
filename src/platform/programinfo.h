#pragma once

#include <QString>

// Where the program lives.
class ProgramInfo {
 public:
  virtual ~ProgramInfo() = default;
  // The program folder: log, diagnostic pages, update files and endpoints.ini live here.
  virtual QString programFolder() const = 0;
};
