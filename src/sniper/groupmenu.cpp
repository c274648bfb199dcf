// Bid groups in the main window: the context menu's "Gruppe …", what the window tells the
// user's other windows, the group's word at the trigger, and the item's result after the end.
#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>
#include <QTimer>

#include "app/appstate.h"
#include "app/dateserial.h"
#include "app/errortrap.h"
#include "app/logfile.h"
#include "app/version.h"
#include "capture/itemfetch.h"
#include "capture/titlerules.h"
#include "groups/groupmember.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/notifier.h"
#include "platform/services.h"
#include "sniper/form1.h"
#include "sniper/groupdialog.h"

using grouprule::Action;
using grouprule::State;

namespace {
// The item page that settles a bid is read this many seconds after the end.
constexpr qint64 kResultAfterEndS = 1;
}  // namespace

void Form1::setGroupBus(GroupBus* bus) {
  delete m_group;
  m_group = new GroupMember(bus, this);
  connect(m_group, &GroupMember::groupChanged, this, &Form1::evaluateAtTrigger);
  // On the bus once the window runs: the start does not wait for the bus.
  QTimer::singleShot(0, m_group, [this] {
    m_group->join();
    announceWindow();
  });
}

void Form1::contextMenuEvent(QContextMenuEvent* e) {
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("Kontextmenue"));
  QAction* group = menu.addAction(QStringLiteral("&Gruppe …"));
  group->setObjectName(QStringLiteral("Mnu_Gruppe"));
  if (menu.exec(e->globalPos()) == group) showGroupDialog();
}

void Form1::showGroupDialog() {
  AppContext& c = ctx();
  trap(c, "Gruppe", [&] {
    GroupDialog dialog(m_group->group(), m_group->limit(), this);
    if (c.services.dialogs.exec(dialog) != QDialog::Accepted || m_unloaded) return;
    if (!m_group->setGroup(dialog.group(), dialog.limit())) {
      c.services.dialogs.messageBox(
          this,
          QStringLiteral("Gruppen brauchen den D-Bus der Sitzung; er ist nicht erreichbar. "
                         "Das Fenster bleibt ohne Gruppe."),
          version::appTitle());
      return;
    }
    c.state.group = m_group->group();
    showItemSummary();
    WriteLog(c, m_group->grouped()
                    ? QStringLiteral("Gruppe gesetzt, höchstens %1 gewinnen").arg(m_group->limit())
                    : QStringLiteral("ohne Gruppe"));
  });
}

QString Form1::groupSummary() const {
  if (!m_group->grouped()) return QString();
  return QStringLiteral("\nGruppe: ") + m_group->group() +
         QStringLiteral(" (höchstens %1 gewinnen)").arg(m_group->limit());
}

void Form1::announceWindow() {
  const AppState& st = m_ctx.state;
  const QString amount =
      st.maxBid > 0 ? regional::formatMoney(st.maxBid, st.region) : Txt_maxbid->text();
  m_group->showItem(st.ItemID, st.AuktionTitel,
                    st.endet == 0 ? 0 : dateserial::toLinearSeconds(st.endet), amount);
}

State Form1::groupState() const {
  return m_group->state();
}

void Form1::setGroupState(State state) {
  announceWindow();
  m_group->setState(state);
}

bool Form1::groupAllowsBid(qint64 remaining) {
  // Decided from what the other members last said: no question goes out at the trigger.
  const grouprule::Decision d = m_group->decide(remaining);
  AppContext& c = ctx();
  switch (d.action) {
    case Action::Bid:
      return true;
    case Action::Hold:
      if (!m_groupHoldLogged) {
        m_groupHoldLogged = true;
        WriteLog(c, QStringLiteral("Gebot wartet auf das Ergebnis von Artikel ") + d.openItem);
      }
      showCountdown(remaining);
      return false;
    case Action::BidTwoWinsPossible: {
      const QString text = QStringLiteral("Ergebnis von Artikel ") + d.openItem +
                           QStringLiteral(
                               " noch offen: es wird geboten, zwei Gewinne sind "
                               "möglich.");
      WriteLog(c, text);
      notifyGroup(text);
      return true;
    }
    case Action::Stay: {
      const QString text = QStringLiteral("Kein Gebot: Artikel ") + d.wonItem +
                           QStringLiteral(" der Gruppe ist schon gewonnen.");
      WriteLog(c, text);
      notifyGroup(text);
      Command1_Click();  // disarms
      return false;
    }
  }
  return true;
}

void Form1::notifyGroup(const QString& text) {
  const QString title = ctx().state.AuktionTitel.isEmpty() ? QStringLiteral("GebotsfalkePlus")
                                                           : ctx().state.AuktionTitel;
  QPointer<Form1> self(this);
  ctx().services.notifier.notify(title, text, [self] {
    if (self) self->raiseWindow();
  });
}

void Form1::groupBidOutcome(const QString& code) {
  m_groupBidCode = code;
  // The site took the bid, or its answer is unknown: the item page after the end tells.
  if (code == QLatin1String("hb") || code == QLatin1String("nd") || code == QLatin1String("er"))
    setGroupState(State::Bid);
  else
    itemResultKnown(false);
}

void Form1::checkGroupResultAfterEnd() {
  if (!m_group->grouped() || m_group->state() != State::Bid) return;
  // A bid through eBay's API is decided by eBay's own answer after the end, never by its pages.
  if (m_ebayRoute.decidesAfterEnd()) return;
  if (!m_resultFetch) {
    m_resultFetch = new ItemPageFetch(this);
    m_resultFetch->setObjectName(QStringLiteral("ResultPageFetch"));
    connect(m_resultFetch, &ItemPageFetch::finished, this, [this](const itempage::Answer& a) {
      if (m_unloaded || m_group->state() != State::Bid) return;
      // The page's high bidder decides; a page that names none leaves the bid's outcome.
      bool won = m_groupBidCode == QLatin1String("hb");
      if (a.arrived && !a.highBidder.isEmpty())
        won = a.highBidder.compare(ctx().state.user, Qt::CaseInsensitive) == 0;
      itemResultKnown(won);
    });
  }
  // The end is known to the second; the site's may lie within that second, and a bid in it
  // must be on the page: it is read a second after the end.
  const qint64 dueMs = (dateserial::toLinearSeconds(ctx().state.endet) + kResultAfterEndS) * 1000;
  const qint64 waitMs = std::max<qint64>(0, dueMs - ctx().services.clock.localMs());
  const QString itemId = ctx().state.ItemID;
  QTimer::singleShot(static_cast<int>(std::min<qint64>(waitMs, 2000)), m_resultFetch,
                     [this, itemId] {
                       if (m_group->state() == State::Bid && ctx().state.ItemID == itemId)
                         m_resultFetch->start(ctx().state.endpoints.itemHostDe, itemId);
                     });
}

void Form1::itemResultKnown(bool won) {
  m_group->settle(won);
  if (!m_group->grouped()) return;
  const QString text = won ? QStringLiteral("gewonnen") : QStringLiteral("nicht gewonnen");
  WriteLog(ctx(), text);
  notifyGroup(text);
  m_groupResultText = text;
  // Once the auction is over the window shows it at once; otherwise at the end.
  if (remainingSeconds() <= 0 && !ctx().state.bidBusy) showGroupResult();
}

void Form1::showGroupResult() {
  if (m_groupResultText.isEmpty()) return;
  setLabelZeit(QStringLiteral("Auktion\r\n") + m_groupResultText, 14);
  centreLabelZeit();
  LabelZeit->show();
}
