// doupdate: the program starts it from its folder, without arguments, right before it ends.
#include <QCoreApplication>

#include "swap.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  return installer::run(QCoreApplication::applicationDirPath());
}
