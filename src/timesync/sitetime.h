#pragma once

#include <QString>
#include <QtGlobal>

#include "app/context.h"

class QObject;
class SiteTimeGate;

// SyncMessage after a synchronisation that set the clock, and after one that could not.
inline const QString kClockSetMessage = QStringLiteral("Die Systemuhr wurde aktualisiert.");
inline const QString kClockRefusedMessage =
    QStringLiteral("Die Systemuhr konnte nicht gestellt werden.");
// SyncMessage when the clock could not be set but needs no setting: it differs from the site's
// by less than kClockRightWithinMs, which is nothing to alarm a user about.
inline const QString kClockRightMessage = QStringLiteral(
    "Die Systemuhr geht richtig: Sie weicht um weniger als eine halbe Sekunde von der Uhrzeit "
    "des Auktionshauses ab.");
inline constexpr qint64 kClockRightWithinMs = 500;
// SyncMessage when the window held the new time back to ask the user first.
inline const QString kClockHeldMessage =
    QStringLiteral("Die gemessene Uhrzeit wurde noch nicht übernommen.");

// Takes the auction site's clock over, `leadMs` ahead of the computer's: the computer's clock is
// set where that is allowed, otherwise the program keeps the lead and goes by the site's time
// from now on (platform/clock.h). Writes the "Timesync" line and returns the outcome text: the
// refusal is followed by a line saying by how much the computer's clock differs, unless it
// differs by less than half a second (then the clock is right).
QString adoptSiteTime(AppContext& ctx, qint64 leadMs);

// Arming measures the site's clock once more when it was not measured in the last 30 minutes of
// this run: in the background, without a version check, the Timesync line (or why it failed)
// in the log. The gate decides whether the new time is taken over now and is told when it was.
void measureSiteTimeIfDue(AppContext& ctx, QObject* owner, SiteTimeGate& gate);
