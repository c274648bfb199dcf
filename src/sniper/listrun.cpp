#include "sniper/listrun.h"

#include <QCoreApplication>
#include <cstdio>

#include "groups/windowtable.h"
#include "platform/linux/dbusgroupbus.h"

bool isListRun(int argc, char** argv) {
  return argc == 2 && qstrcmp(argv[1], "--liste") == 0;
}

int runList(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  bool busOk = false;
  const QList<WindowRecord> windows = DbusGroupBus::list(&busOk);
  if (!busOk) {
    std::fputs(
        "GebotsfalkePlus: Die Fenster sind nur über den D-Bus der Sitzung zu finden, "
        "und der ist nicht erreichbar.\n",
        stderr);
    return 1;
  }
  if (windows.isEmpty()) std::fputs("GebotsfalkePlus: Kein Fenster läuft.\n", stderr);
  for (const WindowRecord& w : windows)
    std::fputs((windowtable::line(w) + QLatin1Char('\n')).toLocal8Bit().constData(), stdout);
  return 0;
}
