#pragma once

#include <QString>

#include "app/regional.h"
#include "bidding/inet.h"

// Reading the auction site's official time page and working out what the clock is set to.
namespace timepage {

// The page and how it is asked for: plain GET with Internet Explorer's User-Agent.
inline const QString kPath = QStringLiteral("/aw-cgi/eBayISAPI.dll?TimeShow");
inline const QString kRequestHeaders =
    QStringLiteral("User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n");

inline const QString kNoTime = QStringLiteral("Keine Zeitinformationen erhalten.");

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

// The time of a page: the whole second it shows (ms since 30.12.1899), or why it has none: the
// text a synchronisation ends with (kNoTime without a zone word, else the description of the
// stamp's conversion error) and, for the log, what the page lacked.
struct PageTime {
  bool ok = false;
  qint64 shownMs = 0;
  QString failure;
  QString why;
};
PageTime readPageTime(const QString& page, const RegionalFormat& fmt, double today);
// The same from an answer's Date header ("Sun, 06 Dec 2026 18:15:30 GMT"), as local time: eBay's
// API hosts have no time page, and their answers carry the whole second they were made in.
PageTime readDateHeader(const QString& date);

// The log line of a time page that gave no time: "Timesync nicht möglich: " and why, from how
// its transfer ended (its HTTP status and, for a failed connection, the component's reason) and
// what the page lacked.
QString noTimeLogLine(TransferEnd ended, int status, const QString& failureText,
                      const PageTime& time);

// "Timesync: " + old time + " -> " + new time "HH:mm:ss", with " (nicht gestellt)" when the
// clock refused the change, then the site's lead over the computer's clock ("+90,4 Sekunden").
QString logLine(double oldTime, double newTime, bool refused, const QString& lead);

}  // namespace timepage
