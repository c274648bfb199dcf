#pragma once

#include <QObject>
#include <QString>

#include "capture/itempage.h"

class Inet;

// Loads one item page in the background and reports what came. It has a transfer component of
// its own: a bid or a clock synchronisation must never find theirs busy with an item page.
// Only GET requests go out, with no account and no cookie.
class ItemPageFetch : public QObject {
  Q_OBJECT

 public:
  // A page that has not come by then is given up (a user is waiting for it).
  static constexpr int kTimeoutMs = 30000;
  // Item pages are large, yet not this large.
  static constexpr qint64 kLongestPage = 8 * 1024 * 1024;

  explicit ItemPageFetch(QObject* parent = nullptr);
  ~ItemPageFetch() override;

  // Starts loading the item's page from the item host; a load still running is dropped first
  // (it reports nothing).
  void start(const QString& itemHost, const QString& itemId);
  // Drops a running load; it reports nothing.
  void cancel();
  bool running() const;
  // The item number of the running load (empty when none runs).
  QString itemId() const { return running() ? m_itemId : QString(); }
  Inet& transfer() { return *m_inet; }

 signals:
  // The load has ended, with a page or without; never for one dropped by start() or cancel().
  void finished(const itempage::Answer& answer);

 private:
  void onEnded();

  Inet* m_inet;
  QString m_itemId;
  bool m_dropped = false;
  bool m_completed = false;
};
