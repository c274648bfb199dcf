// Countdown and bid trigger of the main window.
#include "sniper/form1.h"

void Form1::Timer1_Timer() {
  Update_Label();
}

void Form1::Update_Label() {}
