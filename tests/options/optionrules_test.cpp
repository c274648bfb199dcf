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

// One line per invalid value: the seconds always, a password character that cannot be stored,
// and while armed an empty name or password; OK shows them in one message.
TEST(OptionRules, eachInvalidValueGetsItsLineInOneMessage) {
  using optionrules::Values;
  // A whole number out of range has the dialog's own line, anything else a line of its own.
  const QString seconds = "'Sekunden vor Ende bieten' muss zwischen 1 und 300 betragen\r\n";
  const QString notWhole =
      "'Sekunden vor Ende bieten' muss eine ganze Zahl zwischen 1 und 300 sein\r\n";
  const QString unstorable =
      "Passwort darf das Zeichen '%1' nicht enthalten (nur Zeichen des westeuropäischen "
      "Zeichensatzes)\r\n";
  const struct {
    Values values;
    bool armed;
    QStringList faults;
  } cases[] = {
      {{.user = "bieter", .pass = "geheim", .sectobid = "10"}, true, {}},
      {{.sectobid = "10"}, false, {}},
      {{.user = "bieter", .pass = "geheim", .sectobid = "0"}, false, {seconds}},
      {{.sectobid = "1,5"}, false, {notWhole}},
      {{.sectobid = "zehn"}, false, {notWhole}},
      {{.pass = "Łódź", .sectobid = "10"}, false, {unstorable.arg("Ł")}},
      {{.pass = "x\U0001F600", .sectobid = "10"}, false, {unstorable.arg("\U0001F600")}},
      {{.sectobid = "400"},
       true,
       {"eBay Name darf nicht leer sein\r\n", "Passwort darf nicht leer sein\r\n", seconds}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(optionrules::faults(c.values, c.armed, RegionalFormat::german()), c.faults)
        << c.values.pass.toStdString() << c.values.sectobid.toStdString();
  for (const char* bad : {"", "abc", "1E+308", "-5", "0", "301", "12,5"})
    EXPECT_FALSE(optionrules::secondsValid(bad, RegionalFormat::german())) << bad;
  for (const char* good : {"1", "300"})
    EXPECT_TRUE(optionrules::secondsValid(good, RegionalFormat::german())) << good;
  EXPECT_EQ(optionrules::faultMessage({seconds}),
            "Das Formular enthält ungültige Werte:\r\n\r\n" + seconds);
}
