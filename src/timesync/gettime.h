#pragma once

#include <QString>

#include "timesync/sitetime.h"

class Form1;

// Sets the computer's clock from the auction site's official time page (or, without the right
// to set it, makes the program go by the site's time), then runs the version check and, when
// msgonsync is not 0, shows the outcome.
void get_time(Form1& form);
