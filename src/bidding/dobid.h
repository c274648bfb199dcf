#pragma once

class Form1;

// Places one bid for the current item at the maximum bid in the two-step exchange, leaves the
// outcome in the bid result text, logs every stage and reports the outcome to the vendor
// server. Callers make sure only one bid transaction runs at a time.
void do_bid(Form1& form);
