// The bounds of the bid's transfers against the auction's end (the log line of each transfer
// that ended without an answer: the broken-connection table in tests/faults).
#include <gtest/gtest.h>

#include "bidding/bidlimits.h"
#include "bidding/bidoutcome.h"
#include "support/texts.h"

using namespace bidlimits;

TEST(BidLimits, transfersAreBoundedByTheAuctionsEnd) {
  const Rules rules;
  const struct {
    int step;
    qint64 msToEnd;
    int silence, lifetime;
  } cases[] = {
      {1, 10000, 3000, 10000},  // step 1: until the end
      {1, 1500, 3000, 1500},
      {1, 400, 3000, 1000},    // sent in the last second: the shortest life still
      {1, -2000, 3000, 1000},  // after the end (a clock behind the site's)
      {2, 7000, 3000, 12000},  // step 2: until 5 s after the end
      {2, -1000, 3000, 4000},
      {2, -6000, 3000, 1},  // more than 5 s after the end: given up at once
  };
  for (const auto& c : cases) {
    const TransferLimits l = c.step == 1 ? step1(rules, c.msToEnd) : step2(rules, c.msToEnd);
    EXPECT_EQ(l.silenceMs, c.silence) << c.step << " " << c.msToEnd;
    EXPECT_EQ(l.lifetimeMs, c.lifetime) << c.step << " " << c.msToEnd;
  }
  const TransferLimits none = step2(Rules::unbounded(), 1000);
  EXPECT_EQ(none.silenceMs, 0);
  EXPECT_EQ(none.lifetimeMs, 0);
}

TEST(BidLimits, stepOneGoesOutOnceMoreOnlyAfterASilenceWithTwoSecondsLeft) {
  const Rules rules;
  EXPECT_TRUE(resendStep1(rules, TransferEnd::Silent, 7000, false));
  EXPECT_TRUE(resendStep1(rules, TransferEnd::Silent, 2000, false));
  EXPECT_FALSE(resendStep1(rules, TransferEnd::Silent, 1999, false));
  EXPECT_FALSE(resendStep1(rules, TransferEnd::Silent, 7000, true));  // once only
  EXPECT_FALSE(resendStep1(rules, TransferEnd::Failed, 7000, false));
  EXPECT_FALSE(resendStep1(rules, TransferEnd::Completed, 7000, false));
  EXPECT_FALSE(resendStep1(Rules::unbounded(), TransferEnd::Silent, 7000, false));
}

TEST(BidLimits, onlyTheHighBidAndOutbidArePlacedBids) {
  for (const char* code : {"hb", "ob"}) EXPECT_TRUE(bidoutcome::isPlacedBid(code)) << code;
  for (const char* code : {"nd", "er", "pw", "lB", "Ae", "AE", "", "HB"})
    EXPECT_FALSE(bidoutcome::isPlacedBid(code)) << code;
  const BidOutcome noData = bidoutcome::classifyStep2("");
  const BidOutcome unknown = bidoutcome::outcomeUnknown(noData);
  EXPECT_EQ(unknown.code, "nd");
  EXPECT_EQ(unknown.logLines, noData.logLines);
  EXPECT_EQ(unknown.resultText, "Ausgang des Gebots\r\nist unbekannt.\r\nArtikelseite prüfen.");
}
