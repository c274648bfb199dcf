#include "groups/groupmember.h"

using grouprule::State;

GroupMember::GroupMember(GroupBus* bus, QObject* parent) : QObject(parent), m_bus(bus) {
  m_record.state = grouprule::stateName(m_state);
}

bool GroupMember::join() {
  if (!m_bus || !m_bus->join()) return false;
  if (!m_listening) {
    m_listening = true;
    m_bus->listen([this](const QString& peer, const WindowRecord& r) { heard(peer, r); },
                  [this](const QString& peer) {
                    if (m_peers.remove(peer)) emit groupChanged();
                  });
    announce();
  }
  return true;
}

bool GroupMember::setGroup(const QString& name, int limit) {
  const QString group = name.trimmed();
  if (!group.isEmpty() && !join()) return false;
  m_record.group = group;
  m_record.limit = qMax(1, limit);
  announce();
  return true;
}

void GroupMember::showItem(const QString& itemId, const QString& title, qint64 endSeconds,
                           const QString& amount) {
  if (m_record.itemId == itemId && m_record.title == title && m_record.endSeconds == endSeconds &&
      m_record.amount == amount)
    return;
  m_record.itemId = itemId;
  m_record.title = title;
  m_record.endSeconds = endSeconds;
  m_record.amount = amount;
  announce();
}

void GroupMember::setState(State state) {
  if (m_state == state) return;
  m_state = state;
  m_record.state = grouprule::stateName(state);
  // A win stays the group's while the window is open, whatever it goes on to.
  if (state == State::Won) m_record.wonItem = m_record.itemId;
  announce();
}

void GroupMember::settle(bool won) {
  setState(won ? State::Won : State::Lost);
}

void GroupMember::announce() {
  if (m_bus && m_listening) m_bus->announce(m_record);
}

void GroupMember::heard(const QString& peer, const WindowRecord& record) {
  const bool wasMember = grouped() && m_peers.value(peer).group == m_record.group;
  m_peers.insert(peer, record);
  if (grouped() && (wasMember || record.group == m_record.group)) emit groupChanged();
}

grouprule::Decision GroupMember::decide(qint64 remainingSeconds) const {
  QList<grouprule::Member> others;
  for (const WindowRecord& r : m_peers) {
    if (r.group != m_record.group) continue;
    // A window that has won counts as that win, whatever it shows meanwhile.
    const bool won = !r.wonItem.isEmpty();
    others.append({won ? r.wonItem : r.itemId, r.endSeconds,
                   won ? State::Won : grouprule::stateFromName(r.state)});
  }
  const grouprule::Member self{m_record.itemId, m_record.endSeconds, m_state};
  return grouprule::atTrigger(self, m_record.limit, others, remainingSeconds);
}
