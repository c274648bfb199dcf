#include <gtest/gtest.h>

#include <cfloat>

#include "app/dateserial.h"
#include "app/regional.h"
#include "app/vberror.h"

using namespace regional;

namespace {
const RegionalFormat de = RegionalFormat::german();
const RegionalFormat en = RegionalFormat::english();

int errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const VbError& e) {
    return e.number();
  }
  return 0;
}
}  // namespace

TEST(RegionalNumbers, readGermanAndEnglishForms) {
  const std::pair<const char*, double> german[] = {
      {"12,5", 12.5}, {" 1.234,50 ", 1234.5}, {"-5", -5}, {"1.234.567", 1234567}, {"1E3", 1000}};
  for (const auto& [text, value] : german) EXPECT_EQ(parseNumber(text, de), value) << text;
  EXPECT_EQ(parseNumber("12.5", en), 12.5);
  EXPECT_EQ(parseNumber("1,234.5", en), 1234.5);
  // Not numbers: empty, words, a dot that is no whole thousands group in the German form.
  for (const char* bad : {"", " ", "abc", "12,5x", "12.50", "1.2", "--1", ",", "1e"})
    EXPECT_FALSE(parseNumber(QString::fromLatin1(bad), de).has_value()) << bad;
}

TEST(RegionalNumbers, wholeNumberConversionsRoundHalfToEvenAndReportErrors) {
  EXPECT_EQ(toInt32("5,5", de), 6);
  EXPECT_EQ(toInt32("4,5", de), 4);
  EXPECT_EQ(toInt32("-2,5", de), -2);
  EXPECT_EQ(toInt16("32767", de), 32767);
  EXPECT_EQ(errorOf([] { toInt16("32768", de); }), 6);
  EXPECT_EQ(errorOf([] { toInt32("abc", de); }), 13);
}

TEST(RegionalNumbers, singleIsWrittenWithUpToSevenDigitsAndMoneyWithTwoDecimals) {
  const std::pair<float, const char*> singles[] = {
      {12.5f, "12,5"},           {10, "10"}, {0, "0"}, {0.1f, "0,1"}, {1234.56f, "1234,56"},
      {12345678, "1,234568E+07"}};
  for (const auto& [value, text] : singles) EXPECT_EQ(formatSingle(value, de), text) << text;
  EXPECT_EQ(formatSingle(12.5f, en), "12.5");
  const std::pair<double, const char*> money[] = {
      {12.5, "12,50"},
      {1234, "1.234,00"},
      {1234567.891, "1.234.567,89"},
      {-5, "-5,00"},
      {0.5, "0,50"},
      {-4503599627370496.0, "-4.503.599.627.370.496,00"},
      // Half away from zero on the decimal text, whatever the binary value is just below it.
      {1.005, "1,01"},
      {0.285, "0,29"},
      {-1.005, "-1,01"},
      {9.995, "10,00"},
      {999.999, "1.000,00"},
      {1.0049999, "1,00"},
      {0.001, "0,00"},
      {-0.004, "0,00"}};
  for (const auto& [value, text] : money) EXPECT_EQ(formatMoney(value, de), text) << text;
  EXPECT_EQ(formatMoney(1234, en), "1,234.00");
  // Amounts too large for a count of cents are written in full and read back exactly.
  for (const double amount : {5e306, -5e306, DBL_MAX, 4503599627370497.0}) {
    const QString text = formatMoney(amount, de);
    EXPECT_TRUE(text.endsWith(",00")) << amount;
    EXPECT_EQ(parseNumber(text, de), amount) << amount;
  }
}

TEST(RegionalDates, readTitleStoredAndTimePageFormsWithTwoDigitYearsNearestToToday) {
  const struct {
    const char* text;
    int thisYear;
    dateserial::Parts parts;
  } cases[] = {{"05.12.04 20:00:00", 2026, {2004, 12, 5, 20, 0, 0}},
               {"01.01.30 00:00:00", 2026, {2030, 1, 1}},
               {"05.12.31 20:00:00", 2031, {2031, 12, 5, 20, 0, 0}},
               // The window runs from 50 years before this year to 49 years after it.
               {"01.01.76", 2026, {1976, 1, 1}},
               {"31.12.75", 2026, {2075, 12, 31}},
               {"01.01.81", 2031, {1981, 1, 1}},
               {"31.12.80", 2031, {2080, 12, 31}},
               {"01.01.00", 2050, {2000, 1, 1}},
               {"01.01.99", 2050, {2099, 1, 1}},
               {"05.12.1930", 2031, {1930, 12, 5}},
               {"   05.12.2026 08:05:09", 2026, {2026, 12, 5, 8, 5, 9}},
               {"29.02.2028", 2026, {2028, 2, 29}},
               {"12:00:00", 2026, {1899, 12, 30, 12, 0, 0}}};
  for (const auto& c : cases) {
    const double today = dateserial::fromParts({c.thisYear, 6, 15, 12, 0, 0});
    EXPECT_EQ(dateserial::toLinearSeconds(parseDateTime(c.text, de, today).value_or(-9)),
              dateserial::toLinearSeconds(dateserial::fromParts(c.parts)))
        << c.text << " in " << c.thisYear;
  }
  const double today = dateserial::fromParts({2026, 12, 5});
  for (const char* bad : {"", "abc", "31.02.2026", "05.12.2026 25:00:00", "05.12.26 20:00:00 MEZ",
                          "5.12.", "05.12.126"})
    EXPECT_FALSE(parseDateTime(QString::fromLatin1(bad), de, today).has_value()) << bad;
  EXPECT_EQ(errorOf([&] { toDate("kein Datum", de, today); }), 13);
}

TEST(RegionalDates, generalFormShowsDateOnlyAtMidnightAndTimeOnlyOnDayZero) {
  const double d = dateserial::fromParts({2026, 12, 5, 20, 0, 0});
  EXPECT_EQ(formatGeneralDate(d, de), "05.12.2026 20:00:00");
  EXPECT_EQ(formatGeneralDate(dateserial::fromParts({2026, 12, 5, 0, 0, 0}), de), "05.12.2026");
  EXPECT_EQ(formatGeneralDate(0.75, de), "18:00:00");
  EXPECT_EQ(formatGeneralDate(0, de), "00:00:00");
  EXPECT_EQ(formatGeneralDate(d, en), "12/05/2026 20:00:00");
  EXPECT_DOUBLE_EQ(toDate(formatGeneralDate(d, de), de, d), d);
}
