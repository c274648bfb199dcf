#pragma once

#include <QObject>
#include <QString>

#include "app/context.h"

// Keeps the connection to the bid's host open in the last seconds before the trigger, so that
// the bid's two requests go out without waiting for a TCP (and TLS) handshake in the auction's
// last seconds. The countdown reports every evaluation; while the agent is armed and the
// trigger is at most bidLimits.warmUpMs away, the application's transfer component opens the
// connection (Inet::warmUp), and looks again once a second: a connection the server closed
// meanwhile is opened anew, an open one costs nothing. A failure is logged once in an armed
// period; the bid then connects when it starts, as it would without this.
class BidWarmUp : public QObject {
 public:
  explicit BidWarmUp(AppContext& ctx);

  // An evaluation of the countdown: msToTrigger from now to the start of the trigger second.
  void countdownEvaluated(qint64 msToTrigger);

 private:
  void warmUpEnded(const QString& failure);

  AppContext& m_ctx;
  qint64 m_lastWarmUpMs = 0;
  bool m_asked = false;          // a warm-up of this armed period is under way
  bool m_failureLogged = false;  // in this armed period
  QString m_itemID;              // the item of this armed period
};
