#include "timesync/gettime.h"

#include "sniper/form1.h"

void get_time(Form1&) {}
