#include "capture/windowscan.h"

#include "sniper/form1.h"

void Finde_Alle_Fenster(Form1&) {}

bool TaskWindow(Form1&, const TopLevelWindow&) {
  return false;
}
