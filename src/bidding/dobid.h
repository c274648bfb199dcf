#pragma once

class Form1;

// Places one bid for the current item at the maximum bid in the two-step exchange, leaves the
// outcome in the bid result text, logs every stage and reports the outcome to the vendor
// server. Callers make sure only one bid transaction runs at a time.
void do_bid(Form1& form);

struct AppContext;

// Step 2's account entry on the form just read: the user name goes into "user" unless the form
// already holds one there, else into "userid"; the password into an empty "pass".
void fillInAccount(AppContext& ctx);
