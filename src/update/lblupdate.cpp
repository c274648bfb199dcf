// The update label of the main window opens the update window.
#include "sniper/form1.h"

void Form1::Lbl_update_Click() {}
