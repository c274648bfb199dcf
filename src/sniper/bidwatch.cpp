// A snipe nobody watches: the computer must not fall asleep while the window is armed, a bid
// that failed says so at once (while the user may still bid by hand), and the outcome is
// announced by a desktop notification when the window is not the active one.
#include <QPointer>

#include "app/appstate.h"
#include "app/dateserial.h"
#include "app/logfile.h"
#include "bidding/bidoutcome.h"
#include "platform/notifier.h"
#include "platform/services.h"
#include "platform/sleepinhibitor.h"
#include "sniper/form1.h"

void Form1::keepAwake() {
  AppState& st = ctx().state;
  // The seconds were checked at arming; the moment shown is the bid's.
  const qint64 bidAt =
      dateserial::toLinearSeconds(st.endet) - regional::toInt32(st.sectobid, st.region);
  const QString why = QStringLiteral("Gebot für ") + st.ItemID + QStringLiteral(" um ") +
                      regional::formatGeneralDate(dateserial::fromLinearSeconds(bidAt), st.region);
  QPointer<Form1> self(this);
  ctx().services.sleepInhibitor.hold(why, [self](const QString& reason) {
    if (self)
      WriteLog(self->ctx(), QStringLiteral("Ruhezustand kann nicht verhindert werden: ") + reason);
  });
}

void Form1::letSleep() {
  ctx().services.sleepInhibitor.release();
}

void Form1::bidOutcomeKnown(const QString& code) {
  const AppState& st = ctx().state;
  m_bidAmount = regional::formatMoney(st.maxBid, st.region);
  showItemSummary();
  groupBidOutcome(code);
  // Only the countdown's bid: Ctrl+F9 shows its outcome in a box of its own.
  if (!m_countdownBid) return;
  m_outcomeToAnnounce = true;
  if (!bidoutcome::isPlacedBid(code)) showOutcomeAtOnce();
}

void Form1::showOutcomeAtOnce() {
  // In place of "Gebot wird abgegeben..." until the end, where it is shown once more.
  const QString text = ctx().state.bidResultText;
  setLabelZeit(text, 11);
  centreLabelZeit();
  LabelZeit->show();
  LabelZeit->repaint();
  m_outcomeShown = true;
  announceOutcome(text);
}

void Form1::announceOutcome(const QString& text) {
  if (!m_outcomeToAnnounce || text.isEmpty()) return;
  m_outcomeToAnnounce = false;
  if (isActiveWindow()) return;  // the user sees it already
  const QString title = ctx().state.AuktionTitel.isEmpty() ? QStringLiteral("GebotsfalkePlus")
                                                           : ctx().state.AuktionTitel;
  QPointer<Form1> self(this);
  ctx().services.notifier.notify(title, text, [self] {
    if (self) self->raiseWindow();
  });
}

void Form1::raiseWindow() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}
