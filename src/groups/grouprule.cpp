#include "groups/grouprule.h"

namespace grouprule {
namespace {
struct Name {
  State state;
  const char* bus;
  const char* text;
};
constexpr Name kNames[] = {{State::None, "none", "nicht scharf"},
                           {State::Armed, "armed", "scharf"},
                           {State::Bid, "bid", "geboten"},
                           {State::Won, "won", "gewonnen"},
                           {State::Lost, "lost", "nicht gewonnen"}};

bool endsBefore(const Member& a, const Member& b) {
  return a.endSeconds < b.endSeconds || (a.endSeconds == b.endSeconds && a.itemId < b.itemId);
}
}  // namespace

QString stateName(State state) {
  for (const Name& n : kNames)
    if (n.state == state) return QString::fromLatin1(n.bus);
  return QStringLiteral("none");
}

State stateFromName(const QString& name) {
  for (const Name& n : kNames)
    if (name == QLatin1String(n.bus)) return n.state;
  return State::None;
}

QString stateText(State state) {
  for (const Name& n : kNames)
    if (n.state == state) return QString::fromUtf8(n.text);
  return QString();
}

Decision atTrigger(const Member& self, int limit, const QList<Member>& others,
                   qint64 remainingSeconds) {
  Decision d;
  int wins = 0;
  int open = 0;
  for (const Member& m : others) {
    if (m.state == State::Won) {
      if (wins++ == 0) d.wonItem = m.itemId;
    } else if ((m.state == State::Armed || m.state == State::Bid) && endsBefore(m, self)) {
      if (open++ == 0) d.openItem = m.itemId;
    }
  }
  if (wins >= limit) {
    d.action = Action::Stay;
  } else if (wins + open < limit) {
    d.action = Action::Bid;  // even if every open result is a win, there is room for this one
  } else if (remainingSeconds > kHoldUntilSeconds) {
    d.action = Action::Hold;
  } else {
    d.action = Action::BidTwoWinsPossible;
  }
  if (d.action != Action::Stay) d.wonItem.clear();
  if (d.action == Action::Bid || d.action == Action::Stay) d.openItem.clear();
  return d;
}

}  // namespace grouprule
