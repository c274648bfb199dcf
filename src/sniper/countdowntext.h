#pragma once

#include <QColor>
#include <QString>

// The countdown's display pieces for a number of remaining whole seconds. Each quotient is
// taken down to the next lower whole number; a piece is empty unless its range applies.
struct CountdownPieces {
  QString days, hours, minutes, seconds;
};
CountdownPieces countdownPieces(qint64 remaining);

// The five display cases by remaining seconds.
enum class CountdownCase {
  Over,        // remaining <= 0
  LastMinute,  // 1..59: bare seconds
  Near,        // 60..3599: minutes over seconds
  Hours,       // 3600..86399: hours over minutes
  Days,        // 86400 and more: days over hours
};
CountdownCase countdownCase(qint64 remaining);

// The two-line text of the Near, Hours and Days cases (lines joined by "\n"), or the bare
// seconds of the last minute.
QString countdownText(qint64 remaining);

// The disarmed last minute's growing red figures: font size 72 - remaining and colour
// RGB(236 - 4 x remaining, 0, 0).
double lastMinuteFontSize(qint64 remaining);
QColor lastMinuteColor(qint64 remaining);

// Floor division of whole seconds.
qint64 floorDivide(qint64 a, qint64 b);
