#pragma once

#include "app/context.h"

class BidView;

// Places one bid for the current item at the maximum bid in the two-step exchange through
// Inet1, leaves the outcome in the bid result text, logs every stage, tells the window the
// outcome and then reports it to the vendor server, whose answer may show the update mark.
// Callers make sure only one bid transaction runs at a time.
void do_bid(AppContext& ctx, BidView& view);

// Step 2's account entry on the form just read: the user name goes into "user" unless the form
// already holds one there, else into "userid"; the password into an empty "pass".
void fillInAccount(AppContext& ctx);
