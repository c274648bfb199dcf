// Arming, the bid amount and the keyboard commands of the main window.
#include "sniper/form1.h"

void Form1::Command1_Click() {}
void Form1::Form_KeyDown(int, int) {}
void Form1::Txt_maxbid_KeyUp(int, int) {}
void Form1::Txt_maxbid_Change() {}
