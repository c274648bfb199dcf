// The main window's say in taking the auction site's time over: the countdown follows every
// new time, and an armed bid's trigger never moves later by more than a few seconds unasked.
#include <QPointer>

#include "app/appstate.h"
#include "app/logfile.h"
#include "app/version.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/notifier.h"
#include "platform/services.h"
#include "sniper/form1.h"
#include "timesync/siteoffset.h"
#include "timesync/sitetime.h"

bool Form1::takeOverNow(qint64 leadMs) {
  AppContext& c = ctx();
  const AppState& st = c.state;
  if (!st.armed) return true;
  Clock& clock = c.services.clock;
  const qint64 shift = siteoffset::clockShift(leadMs, clock.computerMs(), clock.localMs());
  if (shift < -siteoffset::kLongestUnaskedDelayMs) {
    askToTakeOver(leadMs, shift);
    return false;
  }
  // Shown, not only logged: a bid that goes out at another moment than the window said.
  if (qAbs(shift) >= siteoffset::kShownShiftMs)
    c.services.dialogs.errorBox(siteoffset::triggerMoveText(shift, false, st.region),
                                version::appTitle());
  return true;
}

void Form1::askToTakeOver(qint64 leadMs, qint64 shiftMs) {
  AppContext& c = ctx();
  const QString text = siteoffset::triggerMoveText(shiftMs, true, c.state.region);
  WriteLog(c, QStringLiteral("Timesync zurückgehalten: Gebot ginge ") +
                  siteoffset::leadText(-shiftMs, c.state.region).mid(1) +
                  QStringLiteral(" später ab, Rückfrage"));
  const int question = ++m_clockQuestion;
  QPointer<Form1> self(this);
  c.services.dialogs.ask(this, text, version::appTitle(), [self, question, leadMs](bool yes) {
    // A later measurement, or a time taken over meanwhile, makes this answer moot.
    if (!self || question != self->m_clockQuestion) return;
    AppContext& cx = self->ctx();
    if (!yes) {
      WriteLog(cx, QStringLiteral("Timesync nicht übernommen"));
      return;
    }
    adoptSiteTime(cx, leadMs);
    self->siteTimeTakenOver();
  });
  // Asked where the user looks too: the window may lie behind others for hours.
  const QString title = c.state.AuktionTitel.isEmpty() ? version::appTitle() : c.state.AuktionTitel;
  c.services.notifier.notify(title, text, [self] {
    if (self) self->raiseWindow();
  });
}

void Form1::siteTimeTakenOver() {
  ++m_clockQuestion;  // an open question about an earlier measurement is moot now
  const AppState& st = ctx().state;
  if (st.endet == 0) return;
  // A wrong clock may have shown the auction as over: with its end ahead by the new time the
  // item gets its countdown and bid controls back.
  const bool overShown = Command1->isHidden() && !timer1Enabled();
  if (overShown && remainingSeconds() > 0) {
    Txt_maxbid->show();
    Command1->show();
    evaluateAtTrigger();
  } else if (timer1Enabled()) {
    evaluateAtTrigger();
  }
}
