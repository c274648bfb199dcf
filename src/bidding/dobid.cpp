#include "bidding/dobid.h"

#include "sniper/form1.h"

void do_bid(Form1&) {}
