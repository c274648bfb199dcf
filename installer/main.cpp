// doupdate: the program starts it from its program folder, without arguments, right before it
// ends, and names the executable to replace in its environment.
#include <QCoreApplication>

#include "swap.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QString program = installer::takeHandedOverProgram();
  return installer::run(installer::ProgramFiles(QCoreApplication::applicationDirPath(), program));
}
