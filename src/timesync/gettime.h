#pragma once

class Form1;

// Sets the computer's clock from the auction site's official time page, then runs the version
// check and, when msgonsync is not 0, shows the outcome.
void get_time(Form1& form);
