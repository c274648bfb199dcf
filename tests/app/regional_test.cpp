#include <gtest/gtest.h>

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
  EXPECT_DOUBLE_EQ(*parseNumber(QStringLiteral("12,5"), de), 12.5);
  EXPECT_DOUBLE_EQ(*parseNumber(QStringLiteral(" 1.234,50 "), de), 1234.5);
  EXPECT_DOUBLE_EQ(*parseNumber(QStringLiteral("-5"), de), -5);
  EXPECT_DOUBLE_EQ(*parseNumber(QStringLiteral("1.234.567"), de), 1234567);
  EXPECT_DOUBLE_EQ(*parseNumber(QStringLiteral("12.5"), en), 12.5);
  EXPECT_DOUBLE_EQ(*parseNumber(QStringLiteral("1,234.5"), en), 1234.5);
  EXPECT_DOUBLE_EQ(*parseNumber(QStringLiteral("1E3"), de), 1000);
  // Not numbers: empty, words, a dot that is no whole thousands group in the German form.
  for (const char* bad : {"", " ", "abc", "12,5x", "12.50", "1.2", "--1", ",", "1e"})
    EXPECT_FALSE(parseNumber(QString::fromLatin1(bad), de).has_value()) << bad;
}

TEST(RegionalNumbers, wholeNumberConversionsRoundHalfToEvenAndReportErrors) {
  EXPECT_EQ(toInt32(QStringLiteral("5,5"), de), 6);
  EXPECT_EQ(toInt32(QStringLiteral("4,5"), de), 4);
  EXPECT_EQ(toInt32(QStringLiteral("-2,5"), de), -2);
  EXPECT_EQ(toInt16(QStringLiteral("32767"), de), 32767);
  EXPECT_EQ(errorOf([] { toInt16(QStringLiteral("32768"), de); }), 6);
  EXPECT_EQ(errorOf([] { toInt32(QStringLiteral("abc"), de); }), 13);
  EXPECT_EQ(errorOf([] { toInt16(QString(), de); }), 13);
}

TEST(RegionalNumbers, singleIsWrittenWithUpToSevenDigitsAndMoneyWithTwoDecimals) {
  EXPECT_EQ(formatSingle(12.5f, de), QStringLiteral("12,5"));
  EXPECT_EQ(formatSingle(12.5f, en), QStringLiteral("12.5"));
  EXPECT_EQ(formatSingle(10.0f, de), QStringLiteral("10"));
  EXPECT_EQ(formatSingle(0.0f, de), QStringLiteral("0"));
  EXPECT_EQ(formatSingle(0.1f, de), QStringLiteral("0,1"));
  EXPECT_EQ(formatSingle(1234.56f, de), QStringLiteral("1234,56"));
  EXPECT_EQ(formatSingle(12345678.0f, de), QStringLiteral("1,234568E+07"));
  EXPECT_EQ(formatMoney(12.5, de), QStringLiteral("12,50"));
  EXPECT_EQ(formatMoney(1234, de), QStringLiteral("1.234,00"));
  EXPECT_EQ(formatMoney(1234567.891, de), QStringLiteral("1.234.567,89"));
  EXPECT_EQ(formatMoney(-5, de), QStringLiteral("-5,00"));
  EXPECT_EQ(formatMoney(0.5, de), QStringLiteral("0,50"));
  EXPECT_EQ(formatMoney(1234, en), QStringLiteral("1,234.00"));
}

TEST(RegionalDates, readTitleStoredAndTimePageForms) {
  auto parts = [](const char* text) {
    auto v = parseDateTime(QString::fromLatin1(text), de);
    EXPECT_TRUE(v.has_value()) << text;
    return dateserial::toParts(v.value_or(0));
  };
  auto p = parts("05.12.04 20:00:00");
  EXPECT_EQ(p.year, 2004);
  EXPECT_EQ(p.month, 12);
  EXPECT_EQ(p.day, 5);
  EXPECT_EQ(p.hour, 20);
  EXPECT_EQ(parts("01.01.29 00:00:00").year, 2029);
  EXPECT_EQ(parts("01.01.30 00:00:00").year, 1930);
  p = parts("   05.12.2026 08:05:09");
  EXPECT_EQ(p.year, 2026);
  EXPECT_EQ(p.minute, 5);
  EXPECT_EQ(p.second, 9);
  EXPECT_EQ(parts("29.02.2028").day, 29);
  EXPECT_DOUBLE_EQ(*parseDateTime(QStringLiteral("12:00:00"), de), 0.5);
  for (const char* bad : {"", "abc", "31.02.2026", "05.12.2026 25:00:00", "05.12.26 20:00:00 MEZ",
                          "5.12.", "05.12.126"})
    EXPECT_FALSE(parseDateTime(QString::fromLatin1(bad), de).has_value()) << bad;
  EXPECT_EQ(errorOf([] { toDate(QStringLiteral("kein Datum"), de); }), 13);
}

TEST(RegionalDates, generalFormShowsDateOnlyAtMidnightAndTimeOnlyOnDayZero) {
  const double d = dateserial::fromParts({2026, 12, 5, 20, 0, 0});
  EXPECT_EQ(formatGeneralDate(d, de), QStringLiteral("05.12.2026 20:00:00"));
  EXPECT_EQ(formatGeneralDate(dateserial::fromParts({2026, 12, 5, 0, 0, 0}), de),
            QStringLiteral("05.12.2026"));
  EXPECT_EQ(formatGeneralDate(0, de), QStringLiteral("00:00:00"));
  EXPECT_EQ(formatGeneralDate(0.75, de), QStringLiteral("18:00:00"));
  EXPECT_EQ(formatGeneralDate(d, en), QStringLiteral("12/05/2026 20:00:00"));
  // Text and serial convert back and forth without losing a second.
  EXPECT_DOUBLE_EQ(toDate(formatGeneralDate(d, de), de), d);
}

TEST(DateSerials, countDaysFromTheEndOf1899AndWholeSecondsLinearly) {
  EXPECT_EQ(dateserial::dayNumber(1899, 12, 30), 0);
  EXPECT_EQ(dateserial::dayNumber(1900, 1, 1), 2);
  EXPECT_EQ(dateserial::dayNumber(2026, 12, 5), 46361);
  EXPECT_EQ(dateserial::toLinearSeconds(1.5), 86400 + 43200);
  // Before day 0 the fraction still counts forward from the day's start.
  EXPECT_EQ(dateserial::toLinearSeconds(-1.25), -86400 + 21600);
  EXPECT_DOUBLE_EQ(dateserial::fromLinearSeconds(-86400 + 21600), -1.25);
}
