// Where the texts of the site's replies meet; every row's texts and log lines are checked end to
// end in dobid_test.cpp.
#include <gtest/gtest.h>

#include "bidding/bidoutcome.h"
#include "printers.h"
#include "update/versioncheck.h"

using namespace bidoutcome;

namespace {
QString code1(const QString& reply) {
  const auto o = classifyStep1(reply);
  return o ? o->code : QStringLiteral("step 2");
}
QString code2(const QString& reply) {
  return classifyStep2(reply).code;
}
}  // namespace

TEST(BidOutcome, theFirstStepComparesCaseSensitivelyAndNotAtTheFirstCharacter) {
  EXPECT_EQ(code1("123456789"), "nd");
  EXPECT_EQ(code1("1234567890"), "step 2");
  EXPECT_EQ(code1("<p>because the auction has ended. Your bid must be at least 1"), "lB");
  EXPECT_EQ(code1("<p>your bid must be at least 5"), "step 2");
  EXPECT_EQ(code1("<p>Because the auction has ended"), "step 2");
  EXPECT_EQ(code1("Your bid must be at least 5"), "step 2");
  EXPECT_EQ(code1("Your bid must be at least 5; Your bid must be at least 5"), "lB");
}

TEST(BidOutcome, theSecondStepIgnoresCaseAndTheEarlierRowWins) {
  EXPECT_EQ(code2("123456789"), "nd");
  EXPECT_EQ(code2("1234567890"), "er");  // ten characters pass the first row, match nothing
  EXPECT_EQ(classifyStep2("<p>YOUR USER ID IS NOT VALID; your sign-in information is not valid")
                .resultText,
            "Der Benutzername\r\nist\r\nungültig.");
  EXPECT_EQ(code2("<p>You have been outbid by x because the auction has ended"), "AE");
  EXPECT_EQ(code2("<p>Your bid must be at least EUR 6.00"), "ob");
  EXPECT_EQ(code2("<p>You are the current high bidder. You have been outbid by x"), "ob");
  EXPECT_EQ(classifyStep2("<TITLE>eBay Item 1</TITLE> you are the current high bidder").resultText,
            "Sie haben\r\ndas höchste\r\nGebot abgegeben.");
  EXPECT_EQ(code2("You are the current high bidder"), "er");
  EXPECT_EQ(code2("<title>eBay item 1</title>"), "er");

  EXPECT_TRUE(isSignInPage("<p>welcome to EBAY!"));
  EXPECT_FALSE(isSignInPage("Welcome to eBay! Please sign in"));
}

TEST(BidOutcome, diagnosticFileNamesAndVersionKeys) {
  EXPECT_EQ(diagnosticFileName(2, "../../x/y"), "Teil_2________x_y.htm");
  EXPECT_EQ(diagnosticFileName(1, QString::fromUtf8("Ä-_ b\\c")),
            QString::fromUtf8("Teil_1__Ä-__b_c.htm"));
  EXPECT_GT(versionKey("1.10.0001"), versionKey("1.9.9"));  // 011001 > 010909
  EXPECT_GT(versionKey("1.03.0007"), versionKey("1.3.6"));
  EXPECT_EQ(versionKey("1.03.0006"), versionKey("1.3.6"));
}
