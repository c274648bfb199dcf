#pragma once

#include <QHash>
#include <QObject>

#include "groups/grouprule.h"
#include "platform/groupbus.h"

// One window as a member of a bid group: what it tells the user's other windows, what it last
// heard from them, and the decision at its trigger. Everything the decision needs is already
// here when the trigger comes: it is taken from the records heard, never by asking the bus.
class GroupMember : public QObject {
  Q_OBJECT

 public:
  // bus: null where the program has none (a test, a build without one).
  explicit GroupMember(GroupBus* bus, QObject* parent = nullptr);

  // Puts the window on the bus, so that it is listed and heard (at start). False without bus.
  bool join();
  // Sets the group (empty: none) and how many of its items may be won. False, and nothing
  // changes, when there is no bus to talk to the other members over.
  bool setGroup(const QString& name, int limit);
  QString group() const { return m_record.group; }
  int limit() const { return m_record.limit; }
  bool grouped() const { return !m_record.group.isEmpty(); }

  // What the window shows; announced when it changed.
  void showItem(const QString& itemId, const QString& title, qint64 endSeconds,
                const QString& amount);
  void setState(grouprule::State state);
  grouprule::State state() const { return m_state; }

  // The decision at the trigger, `remainingSeconds` before the own end.
  grouprule::Decision decide(qint64 remainingSeconds) const;

  // The item's result, from whichever route learnt it: the group is told.
  void settle(bool won);

 signals:
  // A member of this window's group has changed: a held bid may be decided now.
  void groupChanged();

 private:
  void announce();
  void heard(const QString& peer, const WindowRecord& record);

  GroupBus* m_bus;
  bool m_listening = false;
  grouprule::State m_state = grouprule::State::None;
  WindowRecord m_record;
  QHash<QString, WindowRecord> m_peers;
};
