// Countdown and bid trigger of the main window.
#include "app/appstate.h"
#include "app/dateserial.h"
#include "app/errortrap.h"
#include "app/logfile.h"
#include "app/placement.h"
#include "app/stagemarks.h"
#include "bidding/dobid.h"
#include "groups/groupmember.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "platform/shell.h"
#include "platform/sound.h"
#include "sniper/countdowntext.h"
#include "sniper/form1.h"

namespace {
// Marks a scope; restores the mark's previous value on every way out.
class ScopedFlag {
 public:
  explicit ScopedFlag(bool& flag) : m_flag(flag), m_old(flag) { m_flag = true; }
  ~ScopedFlag() { m_flag = m_old; }

 private:
  bool& m_flag;
  bool m_old;
};

const QColor kBlack(0, 0, 0);
// How early the trigger timer is set before the trigger second (see triggerTimerFired).
constexpr qint64 kTriggerEarlyMs = 4;
}  // namespace

qint64 Form1::remainingSeconds() const {
  return dateserial::toLinearSeconds(m_ctx.state.endet) - m_ctx.services.clock.wholeSeconds();
}

void Form1::Timer1_Timer() {
  trap(ctx(), "Timer1_Timer", [&] {
    // A tick never starts a second evaluation while an earlier one still runs: that one may be
    // inside the bid or the pause after it, and the armed flag is still set during the bid, so
    // an overlapping tick would bid a second time.
    if (m_evaluating) return;
    Update_Label();
  });
}

void Form1::triggerTimerFired() {
  // The timer is set a little early (scheduleTriggerEvaluation); the rest is slept, so that the
  // evaluation starts right at the trigger second.
  Clock& clock = ctx().services.clock;
  const qint64 rest = m_triggerAtMs - clock.localMs();
  if (!m_evaluating && rest > 0 && rest <= Clock::kLongestSleepMs)
    clock.sleepUntilMs(m_triggerAtMs);
  evaluateAtTrigger();
}

void Form1::evaluateAtTrigger() {
  // Same guard as the ticks: this evaluation must not overlap a running one either.
  if (m_evaluating) return;
  Update_Label();
}

void Form1::Update_Label() {
  AppState& st = ctx().state;
  ScopedFlag evaluating(m_evaluating);
  trap(ctx(), "Update_Label", [&] {
    const qint32 trigger = [&] {
      try {
        return regional::toInt32(st.sectobid, st.region);
      } catch (const VbError& e) {
        throw vberr::inSetting(e, QStringLiteral("sectobid"));  // its box names the setting
      }
    }();
    if (st.endet == 0) {
      setTimer1Enabled(false);
      m_triggerTimer->stop();
      return;
    }
    const qint64 remaining = remainingSeconds();
    if (remaining <= trigger && st.armed) {
      // Only one bid transaction at a time: while the immediate bid (Ctrl+F9) runs, this
      // evaluation leaves everything as it is.
      if (st.bidBusy) return;
      m_triggerTimer->stop();
      if (remaining <= 0) {
        missBid(remaining);
        return;
      }
      if (m_group->grouped() && !groupAllowsBid(remaining)) return;
      runBidSequence(remaining);
      return;
    }
    showCountdown(remaining);
    scheduleTriggerEvaluation(remaining, trigger);
    const qint64 triggerMs = (dateserial::toLinearSeconds(st.endet) - trigger) * 1000;
    const qint64 msToTrigger = triggerMs - ctx().services.clock.localMs();
    if (m_ebayRoute.armed())
      m_ebayRoute.countdownEvaluated(msToTrigger);
    else
      m_bidWarmUp.countdownEvaluated(msToTrigger);
  });
}

void Form1::beginBidSequence() {
  ctx().state.bidBusy = true;
  // One armed period places at most one bid: until the sequence ends the button cannot arm
  // (Command1_Click refuses that too, for Enter in the amount field).
  Command1->setEnabled(false);
}

void Form1::endBidSequence() {
  ctx().state.bidBusy = false;
  Command1->setEnabled(true);
  if (m_closeAfterBid) {
    m_closeAfterBid = false;
    close();
  }
}

void Form1::runBidSequence(qint64 remaining) {
  AppContext& c = ctx();
  AppState& st = c.state;
  GF_STAGE_MARK("bid due");
  BidSequence sequence(*this);
  setLabelZeit(QStringLiteral("Gebot wird\r\nabgegeben..."), 11);
  centreLabelZeit();
  LabelZeit->show();
  GF_STAGE_MARK("label");
  WriteLog(c, QStringLiteral("Restlaufzeit %1 Sekunden").arg(remaining));
  WriteLog(c, QStringLiteral("Bieten initialisiert"));
  GF_STAGE_MARK("log lines");
  // Painted at do_bid's first wait for its transfer, when the request has gone out: a paint
  // now would hold the bid up until the display server has taken the picture.
  LabelZeit->update();
  GF_STAGE_MARK("repaint");
  m_outcomeShown = false;
  m_outcomeToAnnounce = false;
  m_countdownBid = true;
  if (m_ebayRoute.armed())
    m_ebayRoute.bid(*this);
  else
    do_bid(c, *this);
  m_countdownBid = false;
  // Closed during the bid: the program ends now, without tones and without the pause.
  if (st.warnton == 1 && !m_closeAfterBid) {
    WriteLog(c, QStringLiteral("Warnton"));
    Sound& sound = c.services.sound;
    sound.tone(900, 80);
    sound.tone(950, 80);
    sound.tone(900, 80);
    sound.tone(950, 80);
    sound.tone(900, 700);
  }
  // A bid that was not placed shows its outcome already, and keeps it.
  if (!m_outcomeShown) {
    setLabelZeitCaption(QStringLiteral("Gebot wurde\r\nabgegeben."));
    centreLabelZeit();
  }
  // This step only ever disarms (the button is a toggle): no later tick bids again.
  if (st.armed) Command1_Click();
  const qint64 left = remainingSeconds();
  if (left > 0 && !m_closeAfterBid) Pause(c, static_cast<double>(left));
  WriteLog(c, QStringLiteral("Bieten abgeschlossen"));
}

void Form1::missBid(qint64 remaining) {
  AppContext& c = ctx();
  AppState& st = c.state;
  // The trigger second passed while the program could not run (stopped, or the computer
  // asleep), and the auction is over: a bid sent now would come too late, and no bid at all is
  // what the user must be told.
  WriteLog(c, QStringLiteral("Gebot verpasst: Restlaufzeit %1 Sekunden, Auktion beendet, "
                             "kein Gebot gesendet")
                  .arg(remaining));
  st.bidResultText = QStringLiteral("Gebot verpasst:\r\nAuktion war\r\nschon beendet.");
  m_outcomeToAnnounce = true;
  Command1_Click();  // disarms
  itemResultKnown(false);
  showAuctionOver();
}

void Form1::showCountdown(qint64 remaining) {
  AppState& st = ctx().state;
  switch (countdownCase(remaining)) {
    case CountdownCase::Over:
      showAuctionOver();
      return;
    case CountdownCase::LastMinute: {
      setTimer1(true, 200);
      // Applied on every tick: size and colour change with every second.
      if (st.armed) {
        setLabelForeColor(LabelZeit, kBlack);
        setLabelZeitFontSize(13);
      } else {
        setLabelZeitFontSize(lastMinuteFontSize(remaining));
        setLabelForeColor(LabelZeit, lastMinuteColor(remaining));
      }
      const QString seconds = countdownText(remaining);
      setLabelZeitCaption(seconds);
      centreLabelZeit();
      LabelZeit->show();
      if (isMinimized()) {
        setCaption(QStringLiteral(" >>") + seconds + QStringLiteral("<<"));
        ctx().services.shell.flashWindow(this);
      } else {
        setCaption(st.AuktionTitel);
      }
      return;
    }
    case CountdownCase::Near:
    case CountdownCase::Hours:
    case CountdownCase::Days: {
      const bool near = countdownCase(remaining) == CountdownCase::Near;
      setTimer1(true, near ? 200 : 500);
      const QString text = countdownText(remaining);
      // Rewritten only when the text changes, so the label does not flicker at 200 ms ticks.
      if (text == labelZeitCaption()) return;
      setLabelZeitFontSize(12);
      setLabelForeColor(LabelZeit, kBlack);
      setLabelZeitCaption(text);
      centreLabelZeit();
      LabelZeit->show();
      if (near) Label2->setText(regional::formatGeneralDate(ctx().services.clock.now(), st.region));
      return;
    }
  }
}

void Form1::showAuctionOver() {
  AppState& st = ctx().state;
  m_triggerTimer->stop();
  setLabelForeColor(LabelZeit, kBlack);
  if (st.bidResultText.isEmpty()) {
    setLabelZeit(QStringLiteral("Auktion\r\nbeendet"), 16);
  } else {
    // The outcome of the bid is shown once.
    setLabelZeit(st.bidResultText, 11);
    announceOutcome(st.bidResultText);
    st.bidResultText.clear();
  }
  centreLabelZeit();
  LabelZeit->show();
  setCaption(st.AuktionTitel);
  setTimer1Enabled(false);
  Txt_maxbid->hide();
  Command1->hide();
  st.armed = false;
  m_ebayRoute.disarm();
  letSleep();
  for (LinkLabel* l : {Lbl_GetArtikel, Lbl_Optionen}) {
    l->setForeColor(QColor(0, 0, 255));
    setCustomPointer(l, true);
  }
  setBackColor(QColor(224, 224, 224));
  setCommand1BackColor(QColor(224, 224, 224));
  Command1->setText(QStringLiteral("bieten"));
  LblBieten->hide();
  st.clockLabelOffset = 200;
  Txt_maxbid->setEnabled(true);
  centreLabelZeit();
  showGroupResult();
  checkGroupResultAfterEnd();
}

void Form1::scheduleTriggerEvaluation(qint64 remaining, qint32 trigger) {
  // The ticks alone would start the bid up to 200 ms after the trigger second begins. While
  // armed and close to it, one more evaluation is set for that boundary. The event loop's
  // timers come up to a millisecond or two late, so this one is set kTriggerEarlyMs before it
  // and sleeps the rest (triggerTimerFired). Should it come earlier all the same (a clock set
  // meanwhile), the evaluation finds the trigger second not yet begun and sets it again.
  const AppState& st = ctx().state;
  if (!st.armed || remaining <= trigger) {
    m_triggerTimer->stop();
    return;
  }
  const qint64 boundarySeconds = dateserial::toLinearSeconds(st.endet) - trigger;
  m_triggerAtMs = boundarySeconds * 1000;
  const qint64 delayMs = m_triggerAtMs - ctx().services.clock.localMs() - kTriggerEarlyMs;
  if (delayMs > 1500) {
    m_triggerTimer->stop();
    return;
  }
  const int delay = static_cast<int>(std::max<qint64>(delayMs, 0));
  if (!m_triggerTimer->isActive() || std::abs(m_triggerTimer->remainingTime() - delay) > 2)
    m_triggerTimer->start(delay);
}
