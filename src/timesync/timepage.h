#pragma once

#include <QString>

#include "app/regional.h"

// Reading the auction site's official time page and working out what the clock is set to.
namespace timepage {

// The German zone words after the site's time stamp; "MESZ" is only looked for when there is
// no "MEZ" anywhere (it does not contain "MEZ").
inline const QString kWinterZone = QStringLiteral("MEZ");
inline const QString kSummerZone = QStringLiteral("MESZ");

// The stamp is the 22 characters that start 23 characters before the zone word: three blanks
// and "dd.MM.yyyy HH:mm:ss"; the blank right in front of the zone word is not part of it.
inline constexpr int kStampLength = 22;
inline constexpr int kStampLead = 23;

// 1-based position of the first zone word, any case; 0 when the page has none.
qsizetype zoneWordPosition(const QString& page);

// The stamp window in front of the zone word at the 1-based position. Error 13 (the
// conversion's failure) when the window would start before the page does.
QString stampWindow(const QString& page, qsizetype zonePosition);

// Converts the stamp window to a date-time serial in the regional form (a two-digit year as the
// one nearest to today). Error 13 when it is no date and time: a time without a date, or a date
// without a time, cannot set the clock either.
double readStamp(const QString& window, const RegionalFormat& fmt, double today);

// Whole seconds from the receive mark (a time of day) to the current local time. The transfer
// never takes a day, so a midnight between the two counts forwards, not almost a day back.
int transferDelay(double markTimeOfDay, double now);

// What the clock is set to.
struct ClockTarget {
  double newTime = 0;  // stamp + delay: the site's time now
  int hour = 0, minute = 0, second = 0;
  bool setDate = false;  // the site's date lies less than 3 days after the local date
  int year = 0, month = 0, day = 0;
};

// The site's time now is the stamp plus the delay; its date is set unless it lies 3 or more
// days after the local date (behind is always set). The date is the one of the corrected time,
// so a correction across midnight does not leave the clock a day behind.
ClockTarget clockTarget(double stamp, int delaySeconds, double now);

// "Timesync: " + old time + " -> " + new time "HH:mm:ss", with " (nicht gestellt)" when the
// clock refused the change.
QString logLine(double oldTime, double newTime, bool refused);

}  // namespace timepage
