#include "germantime.h"

#include <cstdio>

namespace sim {
namespace {
// Days since 1970-01-01 of a Gregorian date, and back (H. Hinnant's algorithms).
int64_t daysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

int64_t floorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// Seconds since the epoch of 01:00 UTC on the last Sunday of the month.
int64_t lastSundayOneUtc(int year, int month) {
  const int64_t lastDay = daysFromCivil(year, month + 1, 1) - 1;  // month is 3 or 10
  const int64_t weekday = ((lastDay + 4) % 7 + 7) % 7;            // 1970-01-01 was a Thursday
  return (lastDay - weekday) * 86400 + 3600;
}
}  // namespace

GermanTime germanTime(int64_t utcMs) {
  const int64_t utc = floorDiv(utcMs, 1000);
  int y, m, d;
  civilFromDays(floorDiv(utc, 86400), y, m, d);
  const bool summer = utc >= lastSundayOneUtc(y, 3) && utc < lastSundayOneUtc(y, 10);
  const int64_t local = utc + (summer ? 7200 : 3600);
  const int64_t day = floorDiv(local, 86400);
  const int64_t sod = local - day * 86400;
  civilFromDays(day, y, m, d);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d:%02d", d, m, y, int(sod / 3600),
                int(sod / 60 % 60), int(sod % 60));
  return {buf, summer ? "MESZ" : "MEZ"};
}

}  // namespace sim
