// Where the texts of the site's replies meet; every row's texts and log lines are checked end to
// end in dobid_test.cpp. A text counts only from the reply's second character on.
#include <gtest/gtest.h>

#include "bidding/bidoutcome.h"
#include "printers.h"
#include "update/versioncheck.h"

using namespace bidoutcome;

TEST(BidOutcome, theFirstStepComparesCaseSensitivelyAndNotAtTheFirstCharacter) {
  const std::pair<QString, QString> cases[] = {
      {"123456789", "nd"},
      {"1234567890", "step 2"},
      {"<p>because the auction has ended. Your bid must be at least 1", "lB"},
      {"<p>your bid must be at least 5", "step 2"},
      {"<p>Because the auction has ended", "step 2"},
      {"Your bid must be at least 5", "step 2"},
      {"Your bid must be at least 5; Your bid must be at least 5", "lB"}};
  for (const auto& [reply, code] : cases) {
    const auto outcome = classifyStep1(reply);
    EXPECT_EQ(outcome ? outcome->code : "step 2", code) << reply;
  }
}

TEST(BidOutcome, theSecondStepIgnoresCaseAndTheEarlierRowWins) {
  const std::pair<QString, QString> cases[] = {
      {"123456789", "nd"},
      {"1234567890", "er"},  // ten characters pass the first row, match nothing
      {"<p>You have been outbid by x because the auction has ended", "AE"},
      {"<p>Your bid must be at least EUR 6.00", "ob"},
      {"<p>You are the current high bidder. You have been outbid by x", "ob"},
      {"You are the current high bidder", "er"},
      {"<title>eBay item 1</title>", "er"},
      {"<p><TITLE>EBAY ITEM 1</TITLE>", "hb"}};
  for (const auto& [reply, code] : cases) EXPECT_EQ(classifyStep2(reply).code, code) << reply;
  EXPECT_EQ(classifyStep2("<p>YOUR USER ID IS NOT VALID; your sign-in information is not valid")
                .resultText,
            "Der Benutzername\r\nist\r\nungültig.");
  EXPECT_EQ(classifyStep2("<TITLE>eBay Item 1</TITLE> you are the current high bidder").resultText,
            "Sie haben\r\ndas höchste\r\nGebot abgegeben.");
  EXPECT_TRUE(isSignInPage("<p>welcome to EBAY!"));
  EXPECT_FALSE(isSignInPage("Welcome to eBay! Please sign in"));
}

TEST(BidOutcome, diagnosticFileNamesAndVersionKeys) {
  EXPECT_EQ(diagnosticFileName(2, "../../x/y"), "Teil_2________x_y.htm");
  EXPECT_EQ(diagnosticFileName(1, "Ä-_ b\\c"), "Teil_1__Ä-__b_c.htm");
  EXPECT_GT(versionKey("1.10.0001"), versionKey("1.9.9"));  // 011001 > 010909
  EXPECT_GT(versionKey("1.03.0007"), versionKey("1.3.6"));
  EXPECT_EQ(versionKey("1.03.0006"), versionKey("1.3.6"));
}
