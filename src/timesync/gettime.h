#pragma once

#include <QString>

class Form1;

// SyncMessage after a synchronisation that set the clock.
inline const QString kClockSetMessage = QStringLiteral("Die Systemuhr wurde aktualisiert.");

// Sets the computer's clock from the auction site's official time page, then runs the version
// check and, when msgonsync is not 0, shows the outcome.
void get_time(Form1& form);
