#pragma once

#include <QObject>

#include "platform/linux/dbusbus.h"
#include "platform/sleepinhibitor.h"

// logind's inhibitor lock through the system bus: what "sleep:idle", mode "block". logind hands
// the lock out as a file descriptor; closing it lets go. The call does not block the window:
// the answer comes a moment later, and a lock that arrives after it was let go is closed at
// once.
class LogindInhibitor : public QObject, public SleepInhibitor {
  Q_OBJECT

 public:
  // who: the program's name as logind lists it.
  LogindInhibitor(QString who, LazyBus bus, QObject* parent = nullptr);
  ~LogindInhibitor() override;

  void hold(const QString& why, std::function<void(const QString& reason)> unavailable) override;
  void release() override;

 private:
  QString m_who;
  LazyBus m_bus;
  int m_lock = -1;         // the lock's file descriptor while held
  quint64 m_requests = 0;  // the latest hold or release; older answers are let go
};
