#pragma once

#include <QtGlobal>

// Day serials: days since 30.12.1899 00:00 with the time of day as fraction. Before that day the
// whole part counts backwards while the fraction still runs forwards (-1.25 is 29.12.1899 06:00).
namespace dateserial {

struct Parts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
};

// Day number (days since 30.12.1899) of a calendar date; no range check.
qint64 dayNumber(int year, int month, int day);
// Calendar date of a day number.
void dateOfDayNumber(qint64 dayNumber, int& year, int& month, int& day);

bool isValidDate(int year, int month, int day);

double fromParts(const Parts& p);
// Whole seconds since 30.12.1899 00:00, counted linearly, rounded to the nearest second.
qint64 toLinearSeconds(double serial);
double fromLinearSeconds(qint64 seconds);
Parts toParts(double serial);

// The time of day of a serial in whole seconds (0 to 86399).
int secondsOfDay(double serial);
// The day number of a serial (the whole part as the program counts days).
qint64 dayOf(double serial);

}  // namespace dateserial
