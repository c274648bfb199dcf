#include <gtest/gtest.h>

#include "groups/grouprule.h"

using grouprule::Action;
using grouprule::Member;
using grouprule::State;

namespace {
// Self ends at 1000 (item "5"); the others as listed.
struct Case {
  const char* what;
  int limit;
  QList<Member> others;
  qint64 remaining;
  Action action;
  const char* wonItem;
  const char* openItem;
};
}  // namespace

TEST(GroupRule, decisionAtTrigger) {
  const Member self{"5", 1000, State::Armed};
  const Case cases[] = {
      // clang-format off
      {"alone", 1, {}, 5, Action::Bid, "", ""},
      {"an earlier member won", 1, {{"1", 900, State::Won}}, 5, Action::Stay, "1", ""},
      {"a later member won (Ctrl+F9)", 1, {{"9", 2000, State::Won}}, 5, Action::Stay, "9", ""},
      {"earlier member lost", 1, {{"1", 900, State::Lost}}, 5, Action::Bid, "", ""},
      {"one win, two allowed", 2, {{"1", 900, State::Won}}, 5, Action::Bid, "", ""},
      {"two wins, two allowed", 2, {{"1", 900, State::Won}, {"2", 950, State::Won}}, 5, Action::Stay, "1", ""},
      {"earlier result open", 1, {{"1", 997, State::Bid}}, 5, Action::Hold, "", "1"},
      {"earlier armed counts as open", 1, {{"1", 999, State::Armed}}, 3, Action::Hold, "", "1"},
      {"open until 2 s before the end", 1, {{"1", 997, State::Bid}}, 2, Action::BidTwoWinsPossible, "", "1"},
      {"open, the end already near", 1, {{"1", 997, State::Bid}}, 1, Action::BidTwoWinsPossible, "", "1"},
      {"open, but room for both", 2, {{"1", 997, State::Bid}}, 5, Action::Bid, "", ""},
      {"one won, one open, two allowed", 2, {{"1", 900, State::Won}, {"2", 990, State::Bid}}, 5, Action::Hold, "", "2"},
      {"a later armed member is not waited for", 1, {{"9", 1003, State::Armed}}, 5, Action::Bid, "", ""},
      {"same end: the smaller item bids first", 1, {{"7", 1000, State::Armed}}, 5, Action::Bid, "", ""},
      {"same end: the larger item waits", 1, {{"3", 1000, State::Armed}}, 5, Action::Hold, "", "3"},
      {"disarmed members do not count", 1, {{"1", 990, State::None}}, 5, Action::Bid, "", ""},
      // clang-format on
  };
  for (const Case& c : cases) {
    const grouprule::Decision d = grouprule::atTrigger(self, c.limit, c.others, c.remaining);
    EXPECT_EQ(d.action, c.action) << c.what;
    EXPECT_EQ(d.wonItem, QString::fromLatin1(c.wonItem)) << c.what;
    EXPECT_EQ(d.openItem, QString::fromLatin1(c.openItem)) << c.what;
  }
}
