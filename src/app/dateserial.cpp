#include "app/dateserial.h"

#include <cmath>

namespace dateserial {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
qint64 daysFromCivil(qint64 y, unsigned m, unsigned d) {
  y -= m <= 2;
  const qint64 era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<qint64>(doe) - 719468;
}

void civilFromDays(qint64 z, int& year, int& month, int& day) {
  z += 719468;
  const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const qint64 y = static_cast<qint64>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

const qint64 kEpochOffset = daysFromCivil(1899, 12, 30);

}  // namespace

qint64 dayNumber(int year, int month, int day) {
  return daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
         kEpochOffset;
}

void dateOfDayNumber(qint64 n, int& year, int& month, int& day) {
  civilFromDays(n + kEpochOffset, year, month, day);
}

bool isValidDate(int year, int month, int day) {
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int max = kDays[month - 1];
  if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) max = 29;
  return day <= max;
}

double fromParts(const Parts& p) {
  const qint64 days = dayNumber(p.year, p.month, p.day);
  const double time = (p.hour * 3600 + p.minute * 60 + p.second) / 86400.0;
  return days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
}

qint64 toLinearSeconds(double serial) {
  // The whole part is the day, the absolute fraction the time of day.
  const double whole = std::trunc(serial);
  const qint64 secs = std::llround(std::fabs(serial - whole) * 86400.0);
  return static_cast<qint64>(whole) * 86400 + secs;
}

double fromLinearSeconds(qint64 seconds) {
  qint64 days = seconds / 86400;
  qint64 rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  const double time = rest / 86400.0;
  return days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
}

qint64 dayOf(double serial) {
  return static_cast<qint64>(std::floor(static_cast<double>(toLinearSeconds(serial)) / 86400.0));
}

int secondsOfDay(double serial) {
  const qint64 s = toLinearSeconds(serial);
  qint64 rest = s % 86400;
  if (rest < 0) rest += 86400;
  return static_cast<int>(rest);
}

Parts toParts(double serial) {
  Parts p;
  dateOfDayNumber(dayOf(serial), p.year, p.month, p.day);
  const int sod = secondsOfDay(serial);
  p.hour = sod / 3600;
  p.minute = sod / 60 % 60;
  p.second = sod % 60;
  return p;
}

}  // namespace dateserial
