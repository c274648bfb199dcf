// The update's file list on any body: a name taken as safe can only name a file directly
// inside the program folder.
#include <QDir>

#include "fuzzcheck.h"
#include "update/updaterules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString folder = QStringLiteral("/opt/gebotsfalke");
  for (const QString& body : {fuzz::page(data, size), fuzz::utf16(data, size)}) {
    const QStringList names = updaterules::splitFileList(body);
    fuzz::check(names.size() == body.count(QStringLiteral("\r\n")) + 1, "one name per line");
    for (const QString& name : names) {
      if (!updaterules::isSafeFileName(name)) continue;
      const QString target = updaterules::targetFileName(name);
      const QString path = QDir::cleanPath(updaterules::folderWithSeparator(folder) + target);
      fuzz::check(
          path.startsWith(folder + QChar('/')) && !path.mid(folder.size() + 1).contains(QChar('/')),
          "a safe name stays directly inside the program folder");
      fuzz::check(!target.contains(QChar('\\')), "no backslash in a safe name");
    }
  }
  return 0;
}
