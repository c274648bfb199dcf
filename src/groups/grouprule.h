#pragma once

#include <QList>
#include <QString>

// Bid groups: several auctions for one wish, of which at most a set number may be won. Each
// window decides at its trigger, from what the other members of its group last said, whether
// it bids, waits for an earlier member's result, or stays out.
namespace grouprule {

// Where a member stands. On the bus as "none", "armed", "bid", "won", "lost".
enum class State { None, Armed, Bid, Won, Lost };
QString stateName(State state);
State stateFromName(const QString& name);
// As a user reads it ("nicht scharf", "scharf", "geboten", "gewonnen", "nicht gewonnen").
QString stateText(State state);

struct Member {
  QString itemId;
  qint64 endSeconds = 0;  // the auction's end, linear seconds of the local clock
  State state = State::None;
};

// A result is waited for at most until this many seconds before the own end.
constexpr qint64 kHoldUntilSeconds = 2;

enum class Action {
  Bid,                 // the group still needs a win, whatever the open results bring
  Hold,                // an earlier member's result is open: wait for it
  BidTwoWinsPossible,  // waited as long as the end allows; bids although a result is open
  Stay,                // the group has won enough: no bid
};

struct Decision {
  Action action = Action::Bid;
  QString wonItem;   // Stay: an item the group has won
  QString openItem;  // Hold, BidTwoWinsPossible: an earlier member whose result is open
};

// The decision at the trigger of `self`, `remainingSeconds` before its end, for a group that
// may win at most `limit` items; `others` are the other members as last heard. A member ending
// earlier (on the same second: the smaller item number) that is armed or has bid without a
// result is open.
Decision atTrigger(const Member& self, int limit, const QList<Member>& others,
                   qint64 remainingSeconds);

}  // namespace grouprule
