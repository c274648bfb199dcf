// Arming, the bid amount and the keyboard commands of the main window.
#include <QToolTip>
#include <functional>

#include "app/appstate.h"
#include "app/errortrap.h"
#include "app/logfile.h"
#include "app/version.h"
#include "bidding/dobid.h"
#include "bidding/inet.h"
#include "groups/groupmember.h"
#include "options/optionrules.h"
#include "platform/dialogs.h"
#include "platform/services.h"
#include "platform/shell.h"
#include "sniper/amounthint.h"
#include "sniper/form1.h"
#include "timesync/sitetime.h"

namespace {
const QColor kDisarmedGrey(224, 224, 224);
const QColor kArmedRed(255, 192, 192);
const QColor kLinkBlue(0, 0, 255);
const QColor kRefusedGrey(128, 128, 128);
}  // namespace

void Form1::Command1_Click() {
  AppState& st = ctx().state;
  // The step reached, shown in the error box after "Zeilennummer: ".
  QString step;
  const QString half = st.region.decimalSeparator + QStringLiteral("5");
  trapWithStep(ctx(), "Command1_Click", step, [&] {
    // While a bid sequence runs, this only ever disarms: one armed period places at most one
    // bid, and a new one begins when the sequence is over.
    if (!st.armed && st.bidBusy) return;
    step = QStringLiteral("1");
    show();
    step = QStringLiteral("1") + half;
    repaint();
    step = QStringLiteral("2");
    if (st.armed) {
      disarm(step);
    } else {
      arm(step);
      if (!st.armed) return;  // arming refused: leave silently
    }
    step = QStringLiteral("37");
    show();
    step = QStringLiteral("37") + half;
    repaint();
    step = QStringLiteral("38");
  });
}

void Form1::disarm(QString& step) {
  AppContext& c = ctx();
  AppState& st = c.state;
  step = QStringLiteral("3");
  st.armed = false;
  m_ebayRoute.disarm();
  letSleep();
  if (m_group->state() == grouprule::State::Armed) setGroupState(grouprule::State::None);
  step = QStringLiteral("4");
  Lbl_GetArtikel->setForeColor(kLinkBlue);
  step = QStringLiteral("5");
  setCustomPointer(Lbl_GetArtikel, true);
  step = QStringLiteral("6");
  Lbl_Optionen->setForeColor(kLinkBlue);
  step = QStringLiteral("7");
  setCustomPointer(Lbl_Optionen, true);
  step = QStringLiteral("8");
  if (offersUpdate()) {
    setCustomPointer(Lbl_update, true);
    Lbl_update->show();
  }
  setBackColor(kDisarmedGrey);
  step = QStringLiteral("9");
  setCommand1BackColor(kDisarmedGrey);
  step = QStringLiteral("10");
  Command1->setText(QStringLiteral("bieten"));
  step = QStringLiteral("11");
  LblBieten->hide();
  step = QStringLiteral("12");
  st.clockLabelOffset = 200;
  step = QStringLiteral("13");
  Txt_maxbid->setEnabled(true);
  step = QStringLiteral("14");
  centreLabelZeit();
  WriteLog(c, QStringLiteral("GebotsfalkePlus entschärft"));
  step = QStringLiteral("15");
}

void Form1::arm(QString& step) {
  AppContext& c = ctx();
  AppState& st = c.state;
  // Seconds the countdown cannot bid with (no number, below 1, above 300) count as missing:
  // the options dialog then asks for them with its own check.
  std::function<bool()> accountMissing = [&] {
    return st.pass.isEmpty() || st.user.isEmpty() ||
           !optionrules::secondsValid(st.sectobid, st.region);
  };
  // Nothing is armed without an item whose number and end could be read: such a bid would go
  // nowhere, or never.
  if (st.ItemID.isEmpty() || st.endet == 0) return;
  step = QStringLiteral("16");
  // The bid goes through eBay's API, or the classic way to a site endpoints.ini names; with
  // neither, one message says what to set up. The API needs no account name and password.
  const ebay::route::Choice route = m_ebayRoute.choice();
  if (route.route == ebay::route::Route::None) {
    c.services.dialogs.messageBox(this, route.message, version::appTitle());
    return;
  }
  const bool api = route.route == ebay::route::Route::Api;
  if (api) accountMissing = [&] { return !optionrules::secondsValid(st.sectobid, st.region); };
  if (accountMissing()) {
    step = QStringLiteral("17");
    showOptionsDialog();
  }
  step = QStringLiteral("18");
  step = QStringLiteral("19");
  const QString typed = Txt_maxbid->text();
  if (regional::isNumeric(typed, st.region)) {
    const QString money = regional::formatMoney(regional::toDouble(typed, st.region), st.region);
    st.maxBid = regional::toSingle(money, st.region);
    Txt_maxbid->setText(regional::formatMoney(st.maxBid, st.region));
  } else {
    st.maxBid = 0;
  }
  step = QStringLiteral("20");
  // The amount is read as always; a refused one says why, beside the field.
  showAmountHint(amounthint::refusal(typed, st.maxBid, st.region));
  if (st.maxBid == 0 || accountMissing()) return;
  if (api && !armThroughEbay(typed)) return;
  step = QStringLiteral("22");
  st.armed = true;
  m_groupHoldLogged = false;
  m_groupResultText.clear();
  setGroupState(grouprule::State::Armed);
  step = QStringLiteral("23");
  LblBieten->setText(st.sectobid + QStringLiteral(" Sek. vor Ende \n") +
                     regional::formatMoney(st.maxBid, st.region) + QStringLiteral(" bieten."));
  step = QStringLiteral("24");
  LblBieten->show();
  step = QStringLiteral("25");
  st.clockLabelOffset = 550;
  step = QStringLiteral("26");
  Txt_maxbid->setEnabled(false);
  step = QStringLiteral("27");
  centreLabelZeit();
  step = QStringLiteral("28");
  Command1->setText(QStringLiteral("nicht bieten"));
  step = QStringLiteral("29");
  setCommand1BackColor(kArmedRed);
  step = QStringLiteral("30");
  setBackColor(kArmedRed);
  step = QStringLiteral("31");
  Lbl_GetArtikel->setForeColor(kRefusedGrey);
  step = QStringLiteral("32");
  setCustomPointer(Lbl_GetArtikel, false);
  step = QStringLiteral("33");
  Lbl_Optionen->setForeColor(kRefusedGrey);
  step = QStringLiteral("34");
  setCustomPointer(Lbl_Optionen, false);
  if (offersUpdate()) {
    setCustomPointer(Lbl_update, false);
    Lbl_update->hide();
  }
  step = QStringLiteral("35");
  WriteLog(c, QStringLiteral("GebotsfalkePlus scharfgestellt"));
  keepAwake();
  step = QStringLiteral("36");
  // The countdown goes by the site's clock: measured again when that is 30 minutes ago, in the
  // background; this window decides whether the new time is taken over (clockchange.cpp).
  measureSiteTimeIfDue(c, this, *this);
}

void Form1::showAmountHint(const QString& text) {
  // A tooltip moves nothing in the window; the field keeps the text as its own tooltip and
  // description (for a screen reader) until the amount is taken or edited.
  const bool wasShown = !Txt_maxbid->toolTip().isEmpty();
  Txt_maxbid->setToolTip(text);
  Txt_maxbid->setAccessibleDescription(text);
  if (text.isEmpty()) {
    if (wasShown) QToolTip::hideText();
  } else if (Txt_maxbid->isVisible()) {
    QToolTip::showText(Txt_maxbid->mapToGlobal(QPoint(0, Txt_maxbid->height())), text, Txt_maxbid);
  }
}

void Form1::Form_KeyDown(int keyCode, int shift) {
  AppContext& c = ctx();
  AppState& st = c.state;
  trap(c, "Form_KeyDown", [&] {
    if (shift != 2) return;  // Ctrl alone; Ctrl+Shift or Ctrl+Alt do nothing
    if (keyCode == 120) {
      // Only one bid sequence at a time: not while a transfer runs, nor while the countdown or
      // an earlier Ctrl+F9 is bidding. The mark stays until the disarm, so no tick can bid
      // again while the result is on screen.
      if (!st.armed || c.inet1.StillExecuting() || st.bidBusy) return;
      BidSequence sequence(*this);
      WriteLog(c, QStringLiteral("STRG+F9 startet Bieten"));
      if (m_ebayRoute.armed())
        m_ebayRoute.bid(*this);
      else
        do_bid(c, *this);
      // Closed during the bid: the program ends without waiting for a click on the result.
      if (!m_closeAfterBid)
        c.services.dialogs.messageBox(this, st.bidResultText, version::appTitle());
      // Only ever disarms (the button is a toggle).
      if (st.armed) Command1_Click();
    } else if (keyCode == 116) {
      c.services.shell.openFile(logFilePath(c));
    }
  });
}

void Form1::Txt_maxbid_KeyUp(int keyCode, int) {
  // The field is disabled while armed, so Enter here only ever arms.
  if (keyCode == 13) Command1_Click();
}

void Form1::Txt_maxbid_Change() {
  trap(ctx(), "Txt_maxbid_Change", [] {});
}
