#pragma once

#include <QString>

#include "app/context.h"

class QWidget;
class UpdateMark;

// SyncMessage after a synchronisation that set the clock.
inline const QString kClockSetMessage = QStringLiteral("Die Systemuhr wurde aktualisiert.");

// Sets the computer's clock from the auction site's official time page (through Inet1), then
// runs the version check, which may show the update mark, and, when msgonsync is not 0, shows
// the outcome in a message box over boxOwner.
void get_time(AppContext& ctx, UpdateMark& mark, QWidget* boxOwner);
