#pragma once

#include <QString>
#include <optional>

// The user's regional text formats. The program uses the German forms; the English preset
// exists so that the rules that must hold under any locale can be checked.
struct RegionalFormat {
  QChar decimalSeparator;
  QChar groupSeparator;
  bool dayFirst;  // dd.MM.yyyy (true) or MM/dd/yyyy (false)
  QChar dateSeparator;

  static RegionalFormat german() { return {QChar(','), QChar('.'), true, QChar('.')}; }
  static RegionalFormat english() { return {QChar('.'), QChar(','), false, QChar('/')}; }
};

namespace regional {

// Rounds to the nearest whole number, an exact half to the even neighbour.
double roundHalfEven(double value);

// Reads a number written in the regional form: blanks around it, a sign, digit grouping in the
// whole part, the decimal separator and an exponent are allowed. Empty for anything else.
std::optional<double> parseNumber(const QString& text, const RegionalFormat& fmt);
bool isNumeric(const QString& text, const RegionalFormat& fmt);

// Conversions that fail the way the program's run-time errors do: 13 for a text that is no
// number, 6 when the value does not fit.
double toDouble(const QString& text, const RegionalFormat& fmt);
float toSingle(const QString& text, const RegionalFormat& fmt);
qint16 toInt16(const QString& text, const RegionalFormat& fmt);
qint32 toInt32(const QString& text, const RegionalFormat& fmt);
qint16 toInt16(double value);  // banker's rounding, 6 on overflow
qint32 toInt32(double value);

// Shortest text of a single-precision number: up to 7 significant digits, the regional decimal
// separator, no grouping ("12,5", "10", "1,234568E+07").
QString formatSingle(float value, const RegionalFormat& fmt);
// A double as decimal text with up to 15 significant digits ("1500", "-0,5").
QString formatDouble(double value, const RegionalFormat& fmt);
// Two decimals with digit grouping: "1.234,00", "12,50", "-5,00", "0,50". Rounded half away
// from zero on the number's decimal text ("1,005" gives "1,01").
QString formatMoney(double value, const RegionalFormat& fmt);

// Reads a date-time text: "dd.MM.yyyy HH:mm:ss" and shorter forms (date only, time only,
// seconds optional), blanks around allowed. Empty when it is none. A two-digit year is the year
// nearest to today's (the clock's date serial): from 50 years before it to 49 years after.
std::optional<double> parseDateTime(const QString& text, const RegionalFormat& fmt, double today);
// As parseDateTime; error 13 when the text is no date-time.
double toDate(const QString& text, const RegionalFormat& fmt, double today);

// The general date-and-time form: date only at midnight, time only on day 0.
QString formatGeneralDate(double serial, const RegionalFormat& fmt);
QString formatDate(double serial, const RegionalFormat& fmt);
// "HH:mm:ss" (24 hours, two digits each): also the long time form of the program's locale.
QString formatTime(double serial);

}  // namespace regional
