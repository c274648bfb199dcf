#include <gtest/gtest.h>

#include "options/optionrules.h"

// The seconds before the end are a whole number from 1 to 300 in the regional form.
TEST(OptionRules, secondsAreAWholeNumberFromOneToThreeHundred) {
  const RegionalFormat de = RegionalFormat::german();
  for (const char* good : {"1", "300", " 7 ", "5,0"})
    EXPECT_TRUE(optionrules::secondsValid(QString::fromLatin1(good), de)) << good;
  for (const char* bad : {"0", "301", "300,5", "0,5", "1,5", "zehn", "", "10s"})
    EXPECT_FALSE(optionrules::secondsValid(QString::fromLatin1(bad), de)) << bad;
}
