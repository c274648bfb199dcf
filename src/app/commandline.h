#pragma once

#include <QString>
#include <QStringList>

// The program's command line. The words "-time" and "-bay" keep their rule: each counts only
// as the whole argument text, exactly so (Main and the browser scan compare the text). The
// options read by QCommandLineParser come on top of them; anything it does not know starts the
// program as before. A new option goes into the table in commandline.cpp and into Parsed.
namespace commandline {

enum class Request {
  Run,      // start the program with `text`
  Help,     // -h, --help: print helpText() and end
  Version,  // --version: print versionText() and end
};

struct Parsed {
  Request request = Request::Run;
  QString text;  // the whole argument text: the arguments joined by blanks
};

// The arguments without the program's own name.
Parsed parse(const QStringList& arguments);

// What --help and --version print, each ending with a line break.
QString helpText();
QString versionText();

}  // namespace commandline
