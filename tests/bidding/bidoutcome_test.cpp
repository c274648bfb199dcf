// Where the texts of the site's replies meet; every row's texts and log lines are checked end to
// end in dobid_test.cpp. A text counts only from the reply's second character on.
#include <gtest/gtest.h>

#include "bidding/bidoutcome.h"
#include "support/texts.h"
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
  const std::pair<QString, QString> texts[] = {
      {"<p>YOUR USER ID IS NOT VALID; your sign-in information is not valid",
       "Der Benutzername\r\nist\r\nungültig."},
      {"<p>Your sign-in information is not valid", "Das Passwort\r\nist\r\nfalsch."},
      {"<TITLE>eBay Item 1</TITLE> you are the current high bidder",
       "Sie haben\r\ndas höchste\r\nGebot abgegeben."}};
  for (const auto& [reply, text] : texts) EXPECT_EQ(classifyStep2(reply).resultText, text) << reply;
  EXPECT_TRUE(isSignInPage("<p>welcome to EBAY!"));
  EXPECT_FALSE(isSignInPage("Welcome to eBay! Please sign in"));
}

// The item number reaches the site whole, whatever it holds.
TEST(BidOutcome, step1BodyEncodesTheItemNumbersSeparatorsAndBlanks) {
  EXPECT_EQ(step1Body("12+3&x=%ä 4", 12.5f, RegionalFormat::german()),
            "MfcISAPICommand=MakeBid&item=12%2B3%26x%3D%25%E4%204&quant=1&maxbid=12.5");
}

TEST(BidOutcome, diagnosticFileNamesAndVersions) {
  EXPECT_EQ(diagnosticFileName(2, "../../x/y"), "Teil_2________x_y.htm");
  EXPECT_EQ(diagnosticFileName(1, "Ä-_ b\\c"), "Teil_1__Ä-__b_c.htm");
  // The vendor's answer against the installed 1.3.6: newer, not newer, or no version at all.
  const std::pair<QString, std::optional<QString>> answers[] = {
      {"1.03.0007", "1.03.0007"},
      {"1.10.0001", "1.10.0001"},    // 011001 > 010909
      {"1.03.00070", "1.03.00070"},  // ten characters
      {"1.03.0006", ""},
      {"1.2.99", ""},
      {"1.03.0007\r\n", std::nullopt},  // eleven characters
      {"1.0300", std::nullopt},
      {"1.3", std::nullopt}};
  for (const auto& [answer, announced] : answers)
    EXPECT_EQ(announcedVersion(answer, "1.3.6"), announced) << answer;
}
