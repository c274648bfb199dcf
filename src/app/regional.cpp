#include "app/regional.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <string>

#include "app/dateserial.h"
#include "app/vberror.h"

namespace regional {

double roundHalfEven(double value) {
  const double floorValue = std::floor(value);
  const double diff = value - floorValue;
  if (diff < 0.5) return floorValue;
  if (diff > 0.5) return floorValue + 1.0;
  return std::fmod(floorValue, 2.0) == 0.0 ? floorValue : floorValue + 1.0;
}

namespace {
bool isAsciiDigit(const QString& t, int i) {
  return i < t.size() && t[i].unicode() >= '0' && t[i].unicode() <= '9';
}
bool isDigitGroup(const QString& t, int i) {
  return isAsciiDigit(t, i) && isAsciiDigit(t, i + 1) && isAsciiDigit(t, i + 2) &&
         !isAsciiDigit(t, i + 3);
}
}  // namespace

std::optional<double> parseNumber(const QString& text, const RegionalFormat& fmt) {
  const QString t = text.trimmed();
  int i = 0;
  const int n = t.size();
  bool negative = false;
  if (i < n && (t[i] == '+' || t[i] == '-')) {
    negative = t[i] == '-';
    ++i;
  }
  QString digits;  // in C form for strtod
  bool anyDigit = false;
  // Whole part with optional grouping separators between digits.
  while (i < n) {
    if (t[i].isDigit() && t[i].unicode() < 128) {
      digits += t[i];
      anyDigit = true;
      ++i;
    } else if (t[i] == fmt.groupSeparator && anyDigit && isDigitGroup(t, i + 1)) {
      // Grouping only counts in whole groups of three: "12.50" is no amount in the German
      // form, rather than twelve hundred and fifty.
      ++i;
    } else {
      break;
    }
  }
  if (i < n && t[i] == fmt.decimalSeparator) {
    digits += '.';
    ++i;
    while (i < n && t[i].isDigit() && t[i].unicode() < 128) {
      digits += t[i];
      anyDigit = true;
      ++i;
    }
  }
  if (!anyDigit) return std::nullopt;
  if (i < n && (t[i] == 'e' || t[i] == 'E')) {
    QString exponent = QStringLiteral("e");
    ++i;
    if (i < n && (t[i] == '+' || t[i] == '-')) exponent += t[i++];
    bool expDigit = false;
    while (i < n && t[i].isDigit() && t[i].unicode() < 128) {
      exponent += t[i++];
      expDigit = true;
    }
    if (!expDigit) return std::nullopt;
    digits += exponent;
  }
  if (i != n) return std::nullopt;
  bool ok = false;
  double v = digits.toDouble(&ok);
  if (!ok || !std::isfinite(v)) return std::nullopt;
  return negative ? -v : v;
}

bool isNumeric(const QString& text, const RegionalFormat& fmt) {
  return parseNumber(text, fmt).has_value();
}

double toDouble(const QString& text, const RegionalFormat& fmt) {
  auto v = parseNumber(text, fmt);
  if (!v) vberr::raise(vberr::kTypeMismatch);
  return *v;
}

float toSingle(const QString& text, const RegionalFormat& fmt) {
  const double v = toDouble(text, fmt);
  if (std::fabs(v) > FLT_MAX) vberr::raise(vberr::kOverflow);
  return static_cast<float>(v);
}

qint16 toInt16(double value) {
  const double r = roundHalfEven(value);
  if (r < -32768.0 || r > 32767.0) vberr::raise(vberr::kOverflow);
  return static_cast<qint16>(r);
}

qint32 toInt32(double value) {
  const double r = roundHalfEven(value);
  if (r < -2147483648.0 || r > 2147483647.0) vberr::raise(vberr::kOverflow);
  return static_cast<qint32>(r);
}

qint16 toInt16(const QString& text, const RegionalFormat& fmt) {
  return toInt16(toDouble(text, fmt));
}

qint32 toInt32(const QString& text, const RegionalFormat& fmt) {
  return toInt32(toDouble(text, fmt));
}

QString formatSingle(float value, const RegionalFormat& fmt) {
  if (value == 0.0f) return QStringLiteral("0");
  QString s = QString::number(static_cast<double>(value), 'g', 7);
  s.replace(QChar('e'), QChar('E'));
  s.replace(QChar('.'), fmt.decimalSeparator);
  return s;
}

QString formatDouble(double value, const RegionalFormat& fmt) {
  if (value == 0.0) return QStringLiteral("0");
  QString s = QString::number(value, 'g', 15);
  s.replace(QChar('e'), QChar('E'));
  s.replace(QChar('.'), fmt.decimalSeparator);
  return s;
}

namespace {
// The money form of a number given as its shortest scientific text ("1.005e+00").
QString moneyFromShortestText(const std::string& sci, bool negativeValue,
                              const RegionalFormat& fmt) {
  const std::size_t e = sci.find('e');
  std::string digits = sci.substr(0, e);
  digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
  const int point = std::stoi(sci.substr(e + 1)) + 1;  // digits before the decimal separator
  std::string whole, fraction;
  if (point > 0) {
    whole = digits.substr(0, std::min<std::size_t>(point, digits.size()));
    whole.resize(point, '0');
    if (static_cast<std::size_t>(point) < digits.size()) fraction = digits.substr(point);
  } else {
    whole = "0";
    fraction = std::string(-point, '0') + digits;
  }
  fraction.resize(std::max<std::size_t>(fraction.size(), 3), '0');
  std::string cents = whole + fraction.substr(0, 2);
  if (fraction[2] >= '5') {
    int i = static_cast<int>(cents.size()) - 1;
    for (; i >= 0 && cents[i] == '9'; --i) cents[i] = '0';
    if (i < 0)
      cents.insert(cents.begin(), '1');
    else
      ++cents[i];
  }
  const bool negative = negativeValue && cents.find_first_not_of('0') != std::string::npos;
  std::string shownWhole = cents.substr(0, cents.size() - 2);
  shownWhole.erase(0, std::min(shownWhole.find_first_not_of('0'), shownWhole.size() - 1));
  QString grouped;
  for (std::size_t i = 0; i < shownWhole.size(); ++i) {
    if (i > 0 && (shownWhole.size() - i) % 3 == 0) grouped += fmt.groupSeparator;
    grouped += QChar(shownWhole[i]);
  }
  return (negative ? QStringLiteral("-") : QString()) + grouped + fmt.decimalSeparator +
         QString::fromLatin1(cents.substr(cents.size() - 2));
}

}  // namespace

QString formatMoney(double value, const RegionalFormat& fmt) {
  if (!std::isfinite(value)) return formatDouble(value, fmt);
  // Rounded half away from zero on the decimal text, not on the binary value: 1,005 is held as
  // 1,00499999..., yet its text, the one the user typed, rounds to 1,01. That text is the
  // shortest one that reads back as the same value.
  char buf[48];
  const auto written =
      std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific);
  return moneyFromShortestText(std::string(buf, written.ptr), value < 0, fmt);
}

namespace {

bool readInt(const QString& t, int& i, int maxDigits, int& out, int& digits) {
  out = 0;
  digits = 0;
  while (i < t.size() && digits < maxDigits && t[i].isDigit() && t[i].unicode() < 128) {
    out = out * 10 + t[i].digitValue();
    ++i;
    ++digits;
  }
  return digits > 0;
}

bool isDateSeparator(QChar c, const RegionalFormat& fmt) {
  return c == fmt.dateSeparator || c == '.' || c == '/' || c == '-';
}

// A two-digit year as the year nearest to the current one: from 50 years before it to 49 after.
int fullYear(int twoDigits, int currentYear) {
  const int first = currentYear - 50;
  return first + ((twoDigits - first) % 100 + 100) % 100;
}

// Date part "d.M.yy" or "d.M.yyyy" (or M/d/yyyy when the month comes first).
bool readDate(const QString& t, int& i, int& y, int& m, int& d, const RegionalFormat& fmt,
              int currentYear) {
  int a, b, c, da, db, dc;
  if (!readInt(t, i, 2, a, da)) return false;
  if (i >= t.size() || !isDateSeparator(t[i], fmt)) return false;
  ++i;
  if (!readInt(t, i, 2, b, db)) return false;
  if (i >= t.size() || !isDateSeparator(t[i], fmt)) return false;
  ++i;
  if (!readInt(t, i, 4, c, dc)) return false;
  if (dc == 1 || dc == 3) return false;
  if (dc == 2) c = fullYear(c, currentYear);
  d = fmt.dayFirst ? a : b;
  m = fmt.dayFirst ? b : a;
  y = c;
  return dateserial::isValidDate(y, m, d);
}

// Time part "H:mm" or "H:mm:ss".
bool readTime(const QString& t, int& i, int& h, int& mi, int& s) {
  int dh, dm, ds;
  if (!readInt(t, i, 2, h, dh)) return false;
  if (i >= t.size() || t[i] != ':') return false;
  ++i;
  if (!readInt(t, i, 2, mi, dm)) return false;
  s = 0;
  if (i < t.size() && t[i] == ':') {
    ++i;
    if (!readInt(t, i, 2, s, ds)) return false;
  }
  return h < 24 && mi < 60 && s < 60;
}

void skipBlanks(const QString& t, int& i) {
  while (i < t.size() && t[i] == ' ') ++i;
}

}  // namespace

std::optional<double> parseDateTime(const QString& text, const RegionalFormat& fmt, double today) {
  const QString& t = text;
  int i = 0;
  skipBlanks(t, i);
  dateserial::Parts p;
  bool haveDate = false, haveTime = false;
  int save = i;
  if (readDate(t, i, p.year, p.month, p.day, fmt, dateserial::toParts(today).year)) {
    haveDate = true;
    skipBlanks(t, i);
  } else {
    i = save;
  }
  save = i;
  if (i < t.size()) {
    if (readTime(t, i, p.hour, p.minute, p.second)) {
      haveTime = true;
      skipBlanks(t, i);
    } else {
      i = save;
    }
  }
  if ((!haveDate && !haveTime) || i != t.size()) return std::nullopt;
  if (!haveDate) {
    return (p.hour * 3600 + p.minute * 60 + p.second) / 86400.0;
  }
  return dateserial::fromParts(p);
}

double toDate(const QString& text, const RegionalFormat& fmt, double today) {
  auto v = parseDateTime(text, fmt, today);
  if (!v) vberr::raise(vberr::kTypeMismatch);
  return *v;
}

QString formatDate(double serial, const RegionalFormat& fmt) {
  const auto p = dateserial::toParts(serial);
  const int first = fmt.dayFirst ? p.day : p.month;
  const int second = fmt.dayFirst ? p.month : p.day;
  return QStringLiteral("%1%2%3%4%5")
      .arg(first, 2, 10, QChar('0'))
      .arg(fmt.dateSeparator)
      .arg(second, 2, 10, QChar('0'))
      .arg(fmt.dateSeparator)
      .arg(p.year, 4, 10, QChar('0'));
}

QString formatTime(double serial) {
  const auto p = dateserial::toParts(serial);
  return QStringLiteral("%1:%2:%3")
      .arg(p.hour, 2, 10, QChar('0'))
      .arg(p.minute, 2, 10, QChar('0'))
      .arg(p.second, 2, 10, QChar('0'));
}

QString formatGeneralDate(double serial, const RegionalFormat& fmt) {
  const qint64 day = dateserial::dayOf(serial);
  const int sod = dateserial::secondsOfDay(serial);
  if (day == 0) return formatTime(serial);
  if (sod == 0) return formatDate(serial, fmt);
  return formatDate(serial, fmt) + QChar(' ') + formatTime(serial);
}

}  // namespace regional
