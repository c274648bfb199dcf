#pragma once

#include <QString>

#include "app/context.h"
#include "timesync/sitetime.h"

class QWidget;
class SiteTimeGate;
class UpdateMark;

// Sets the computer's clock from the auction site's official time page through Inet1 (or,
// without the right to set it, makes the program go by the site's time), then runs the version
// check, which may show the update mark, and, when msgonsync is not 0, shows the outcome in a
// message box over boxOwner. The gate, when given, may hold the new time back.
void get_time(AppContext& ctx, UpdateMark& mark, QWidget* boxOwner, SiteTimeGate* gate = nullptr);
