#pragma once

#include <QList>
#include <QString>
#include <functional>

// What one window of the program says about itself to the user's other windows.
struct WindowRecord {
  QString itemId;
  QString title;
  qint64 endSeconds = 0;  // the auction's end, linear seconds of the local clock; 0: none
  QString amount;         // the maximum bid as shown ("12,50"); empty when none
  QString group;          // empty: in no group
  int limit = 1;          // the group wins at most this many items
  QString state;          // "none", "armed", "bid", "won", "lost"
  QString wonItem;        // the item this window has won (kept while it is open); empty: none
};

// The windows of one user, each in its own process, on a bus they share: each announces its
// record, and hears the others' as they change.
class GroupBus {
 public:
  virtual ~GroupBus() = default;
  // Puts this window on the bus (once); false when there is no bus to be on.
  virtual bool join() = 0;
  // Publishes this window's record and tells the others it changed.
  virtual void announce(const WindowRecord& record) = 0;
  // `changed` runs for every other window's record as it is first found and as it changes;
  // `gone` when a window has left (its process ended). The windows already on the bus are
  // asked once, without waiting for their answers.
  virtual void listen(std::function<void(const QString& peer, const WindowRecord&)> changed,
                      std::function<void(const QString& peer)> gone) = 0;
};
