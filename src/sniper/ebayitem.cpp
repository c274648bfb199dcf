// The main window's part of the bid through eBay's API: with a keyset set up, an item taken
// over is read through the Browse API (title, end to the millisecond, price, minimum bid), its
// price and minimum bid are shown in the link panel's free corners and read again while
// armed; arming checks the item and the amount; after the end eBay says whether it was won.
#include <QPointer>

#include "app/appstate.h"
#include "app/dateserial.h"
#include "app/errortrap.h"
#include "app/logfile.h"
#include "app/twips.h"
#include "app/version.h"
#include "capture/itempage.h"
#include "capture/titlerules.h"
#include "capture/windowscan.h"
#include "ebay/browseclient.h"
#include "ebay/ebaytime.h"
#include "ebay/itemwatch.h"
#include "ebay/requests.h"
#include "groups/groupmember.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/notifier.h"
#include "platform/services.h"
#include "sniper/form1.h"

namespace {
// The item's end as the countdown counts it: the whole second it falls in.
double endSerial(qint64 endMs) {
  const qint64 seconds = endMs >= 0 ? endMs / 1000 : -((-endMs + 999) / 1000);
  return dateserial::fromLinearSeconds(seconds);
}

QLabel* makePriceLabel(QWidget* parent, const char* name, int top) {
  auto* l = new QLabel(parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setFont(designFont(QStringLiteral("Arial"), 7));
  l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  l->setAttribute(Qt::WA_TransparentForMouseEvents);
  // The panel's light fill is fixed: so is the text's colour, for dark desktop themes too.
  setLabelForeColor(l, QColor(0, 0, 0));
  twips::setGeometry(l, 2340, top, 1710, 210);
  return l;
}
}  // namespace

void Form1::setUpEbayRoute() {
  // Above the first link and below the last one, where the panel is empty.
  Lbl_Preis = makePriceLabel(this, "Lbl_Preis", 735);
  Lbl_Mindestgebot = makePriceLabel(this, "Lbl_Mindestgebot", 2420);
  connect(&m_ebayRoute, &EbayRoute::itemChanged, this, &Form1::showEbayPrice);
  connect(&m_ebayRoute, &EbayRoute::auctionDecided, this, &Form1::ebayAuctionDecided);
}

void Form1::loadEbayItem(const QString& itemId) {
  // A second request for the item being read lets that one go on.
  if (m_ebayItemLoading == itemId) return;
  cancelItemPage();
  m_ebayItemLoading = itemId;
  setCursor(Qt::BusyCursor);
  m_ebayRoute.readItem(itemId, this, [this, itemId](const ebay::ItemResult& result) {
    if (m_ebayItemLoading != itemId) return;  // another item was asked for meanwhile
    m_ebayItemLoading.clear();
    unsetCursor();
    ebayItemLoaded(itemId, result);
  });
}

void Form1::ebayItemLoaded(const QString& itemId, const ebay::ItemResult& result) {
  AppContext& c = ctx();
  trap(c, "ItemPage_Loaded", [&] {
    if (c.state.closing || m_unloaded) return;
    using itempage::Refusal;
    Refusal refusal = Refusal::None;
    const qint64 now = c.services.clock.localMs();
    if (!result.item)
      refusal = Refusal::NotLoaded;
    else if (!result.item->isAuction() || !result.item->endUtc)
      refusal = Refusal::NoAuction;
    else if (ebay::localMsOf(*result.item->endUtc) <= now)
      refusal = Refusal::Ended;
    if (!itemMayChange()) refusal = Refusal::Armed;
    const QString head = QStringLiteral("Artikel übernehmen: ") + itemId;
    if (refusal == Refusal::None) {
      const ebay::ItemData& item = *result.item;
      const QString whole = titlerules::plainText(item.title);
      takeOverItem(
          c, *this,
          {Refusal::None, itemId, whole.left(38), whole, endSerial(ebay::localMsOf(*item.endUtc))});
      m_ebayRoute.takeItem(item);
      WriteLog(c, head + QStringLiteral(" von eBay übernommen (Ende ") +
                      ebay::formatUtc(*item.endUtc) + QLatin1Char(')'));
      Update_Label();
      return;
    }
    const QString why = refusal == Refusal::NotLoaded
                            ? result.failure
                            : itempage::message(itemId, refusal).section(QStringLiteral("\r\n"), 1);
    WriteLog(c, head + QStringLiteral(" nicht übernommen - ") + why);
    c.services.dialogs.errorBox(
        QStringLiteral("Der Artikel %1 wurde nicht übernommen.\r\n").arg(itemId) + why,
        version::appTitle());
  });
}

void Form1::showEbayPrice() {
  const std::optional<ebay::ItemData>& item = m_ebayRoute.item();
  const bool shown = item && item->itemId == ebay::restItemId(ctx().state.ItemID);
  Lbl_Preis->setText(shown ? ebay::itemwatch::priceLine(*item) : QString());
  Lbl_Mindestgebot->setText(shown ? ebay::itemwatch::minimumBidLine(*item) : QString());
}

bool Form1::armThroughEbay(const QString& typed) {
  AppContext& c = ctx();
  AppState& st = c.state;
  Dialogs& dialogs = c.services.dialogs;
  const std::optional<QString> amount = ebay::decimalFromGerman(typed);
  if (!amount) {
    dialogs.messageBox(this,
                       QStringLiteral("Das Höchstgebot „%1“ ist kein genauer Betrag. Bitte in "
                                      "der Form 1.234,50 eingeben (höchstens zwei "
                                      "Nachkommastellen).")
                           .arg(typed.trimmed()),
                       version::appTitle());
    return false;
  }
  QString failure;
  if (!m_ebayRoute.itemFor(st.ItemID, &failure)) {
    dialogs.messageBox(this, QStringLiteral("Die Artikeldaten von eBay fehlen: ") + failure,
                       version::appTitle());
    return false;
  }
  const ebay::ItemData& item = *m_ebayRoute.item();
  showEbayPrice();
  const qint64 endMs = item.endUtc ? ebay::localMsOf(*item.endUtc) : 0;
  if (const auto refusal =
          ebay::itemwatch::armingRefusal(item, *amount, endMs - c.services.clock.localMs())) {
    dialogs.messageBox(this, *refusal, version::appTitle());
    return false;
  }
  if (item.adultOnly && !m_ebayRoute.adultConsent()) {
    // Asked without holding the window up; a yes arms again.
    QPointer<Form1> self(this);
    dialogs.ask(this, ebay::itemwatch::adultOnlyQuestion(), version::appTitle(), [self](bool yes) {
      if (!self || !yes || self->ctx().state.armed) return;
      self->m_ebayRoute.consentToAdultOnly();
      self->Command1_Click();
    });
    return false;
  }
  // eBay's end counts, to the millisecond; the amount is bid exactly as typed.
  st.endet = endSerial(endMs);
  Txt_maxbid->setText(ebay::germanFromDecimal(*amount));
  const qint64 triggerMs =
      (dateserial::toLinearSeconds(st.endet) - regional::toInt32(st.sectobid, st.region)) * 1000;
  m_ebayRoute.arm(*amount, triggerMs, endMs);
  return true;
}

void Form1::ebayAuctionDecided(bool won, const BidOutcome& outcome) {
  AppContext& c = ctx();
  trap(c, "ebayAuctionDecided", [&] {
    if (m_unloaded) return;
    // The window says it below; the group hears it.
    m_group->settle(won);
    if (timer1Enabled()) {
      // The countdown has not shown the end yet: it shows this there, once.
      c.state.bidResultText = outcome.resultText;
    } else {
      setLabelForeColor(LabelZeit, QColor(0, 0, 0));
      setLabelZeit(outcome.resultText, 11);
      centreLabelZeit();
      LabelZeit->show();
    }
    const QString title =
        c.state.AuktionTitel.isEmpty() ? version::appTitle() : c.state.AuktionTitel;
    QString text = outcome.resultText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    QPointer<Form1> self(this);
    c.services.notifier.notify(title, text, [self] {
      if (self) self->raiseWindow();
    });
  });
}
