// The main window's link labels and their hover feedback.
#include "sniper/form1.h"

void Form1::Lbl_GoItem_Click() {}
void Form1::Lbl_GetTime_Click() {}
void Form1::Lbl_Optionen_Click() {}
void Form1::Lbl_GetArtikel_Click() {}
void Form1::Lbl_GoItem_MouseMove() {}
void Form1::Lbl_GetTime_MouseMove() {}
void Form1::Lbl_Optionen_MouseMove() {}
void Form1::Lbl_GetArtikel_MouseMove() {}
void Form1::Form_MouseMove() {}
