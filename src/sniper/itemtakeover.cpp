// Taking the item over from a copied or dropped item page link or item number: the item page is
// loaded in the background while the window goes on counting, and only a page of a running
// auction, arriving while nothing is armed, replaces the item.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "app/appstate.h"
#include "app/errortrap.h"
#include "app/logfile.h"
#include "app/version.h"
#include "capture/itemfetch.h"
#include "capture/itemlink.h"
#include "capture/itempage.h"
#include "capture/windowscan.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/services.h"
#include "sniper/form1.h"

namespace {
// The texts a drop carries: its links (a link list, as from an address bar), then its text.
QStringList droppedTexts(const QMimeData* data) {
  QStringList texts;
  if (!data) return texts;
  for (const QUrl& url : data->urls()) texts.append(url.toString(QUrl::FullyEncoded));
  if (data->hasText()) texts.append(data->text());
  return texts;
}
}  // namespace

bool Form1::itemMayChange() const {
  return !m_ctx.state.armed && !m_ctx.state.bidBusy && !m_ctx.state.closing && !m_unloaded;
}

void Form1::takeOverFromWindowOrClipboard() {
  // A browser window showing an auction page wins; only without one is the clipboard read.
  if (!auctionPageShown(ctx(), ownWindowHandle())) {
    const QString itemId = itemlink::itemNumber(ctx().services.clipboard.text());
    if (!itemId.isEmpty()) {
      // The window stays as it is until the page has come: a page that does not come, or
      // shows no running auction, leaves the current item in place.
      loadItemPage(itemId);
      return;
    }
  }
  cancelItemPage();
  Finde_Alle_Fenster(ctx(), *this);
  // A window title gives the number; the end to the millisecond and the price come from eBay.
  if (m_ebayRoute.readsItems() && !ctx().state.ItemID.isEmpty() && itemMayChange())
    loadEbayItem(ctx().state.ItemID);
}

void Form1::takeOverClipboardItemAtStart(bool savedItemAsked) {
  trap(ctx(), "Form1init", [&] {
    if (savedItemAsked || auctionPageShown(ctx(), ownWindowHandle())) return;
    // The window shows what the scan found (the saved item, or none) while the page loads.
    const QString itemId = itemlink::itemNumber(ctx().services.clipboard.text());
    if (!itemId.isEmpty()) loadItemPage(itemId);
  });
}

void Form1::loadItemPage(const QString& itemId) {
  // With a keyset set up, eBay's Browse API has the item (its pages show no end time).
  if (m_ebayRoute.readsItems()) return loadEbayItem(itemId);
  // A second click for the item whose page is loading lets that load go on.
  if (m_itemPageFetch->itemId() == itemId) return;
  m_itemPageFetch->start(ctx().state.endpoints.itemHostDe, itemId);
  setCursor(Qt::BusyCursor);
}

void Form1::cancelItemPage() {
  m_itemPageFetch->cancel();
  unsetCursor();
}

void Form1::ItemPage_Loaded(const itempage::Answer& answer) {
  AppContext& c = ctx();
  AppState& st = c.state;
  unsetCursor();
  trap(c, "ItemPage_Loaded", [&] {
    if (st.closing || m_unloaded) return;
    using itempage::Refusal;
    itempage::Outcome item = itempage::judge(answer, c.services.clock.now(), st.region);
    // The item never changes under an armed bid, nor during one.
    if (!itemMayChange()) item.refusal = Refusal::Armed;
    if (item.refusal == Refusal::None) {
      takeOverItem(ctx(), *this, item);
      WriteLog(c, itempage::logLine(answer, Refusal::None));
      Update_Label();
      return;
    }
    WriteLog(c, itempage::logLine(answer, item.refusal));
    c.services.dialogs.errorBox(itempage::message(answer.itemId, item.refusal),
                                version::appTitle());
  });
}

void Form1::Form_OLEDragDrop(const QStringList& texts) {
  trap(ctx(), "Form_OLEDragDrop", [&] {
    if (!itemMayChange()) return;
    const QString itemId = itemlink::firstItemNumber(texts);
    if (!itemId.isEmpty()) loadItemPage(itemId);
  });
}

void Form1::dragEnterEvent(QDragEnterEvent* e) {
  // Only what names an item, and only while the item may change, is taken: anything else
  // shows the "no drop" pointer.
  if (itemMayChange() && !itemlink::firstItemNumber(droppedTexts(e->mimeData())).isEmpty())
    e->acceptProposedAction();
}

void Form1::dragMoveEvent(QDragMoveEvent* e) {
  if (itemMayChange() && !itemlink::firstItemNumber(droppedTexts(e->mimeData())).isEmpty())
    e->acceptProposedAction();
  else
    e->ignore();
}

void Form1::dropEvent(QDropEvent* e) {
  Form_OLEDragDrop(droppedTexts(e->mimeData()));
  e->acceptProposedAction();
}
