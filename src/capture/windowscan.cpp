// The browser window scan: takes the auction item over from a browser window's title.
#include "capture/windowscan.h"

#include <limits>

#include "app/appstate.h"
#include "app/errortrap.h"
#include "app/regional.h"
#include "app/settings.h"
#include "capture/itempage.h"
#include "capture/scanview.h"
#include "capture/titlerules.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "platform/windowlist.h"

namespace {

// Window style bits as the scan tests them.
constexpr quint32 kStyleVisible = 0x10000000;
constexpr quint32 kStyleBorder = 0x00800000;

QString savedSetting(AppContext& ctx, const char* key) {
  return ctx.settings.GetSetting(settingskeys::kApp, settingskeys::kSection,
                                 QString::fromLatin1(key));
}

// No item, nothing armed-looking, the countdown stopped.
void resetItem(AppContext& ctx, ScanView& view) {
  AppState& st = ctx.state;
  st.endet = 0;
  view.scanStarted(titlerules::idleCaption());
  st.ItemID.clear();
}

// Step 1 of the scan.
void resetState(AppContext& ctx, ScanView& view) {
  ctx.state.instanceCount = 0;
  resetItem(ctx, view);
}

// The end time and the countdown of an item that is shown.
void showItem(AppContext& ctx, ScanView& view) {
  const AppState& st = ctx.state;
  view.showItemEnd(QStringLiteral("endet am ") + regional::formatGeneralDate(st.endet, st.region));
}

void applyAuctionPage(AppContext& ctx, ScanView& view, const QString& title) {
  AppState& st = ctx.state;
  const titlerules::AuctionTitle a = titlerules::readAuctionTitle(title);
  st.AuktionTitel = a.auktionTitel;
  st.ItemID = a.itemId;
  view.showBidControls();
  view.showItemTitle(titlerules::itemCaption(st.AuktionTitel));
  st.endet = regional::toDate(a.endText, st.region, ctx.services.clock.now());
  showItem(ctx, view);
}

void applySavedItem(AppContext& ctx, ScanView& view) {
  AppState& st = ctx.state;
  view.showBidControls();
  st.AuktionTitel = savedSetting(ctx, "AuktionTitel");
  st.ItemID = savedSetting(ctx, "ItemID");
  st.endet = regional::toDate(savedSetting(ctx, "endet"), st.region, ctx.services.clock.now());
  view.showItemTitle(titlerules::itemCaption(st.AuktionTitel));
  showItem(ctx, view);
}

void applyNoItem(AppContext& ctx, ScanView& view) {
  AppState& st = ctx.state;
  st.endet = 0;
  view.showNoItem(titlerules::idleCaption(), QStringLiteral("Kein Artikel gewählt."),
                  titlerules::noItemHint());
  st.ItemID.clear();
}

}  // namespace

void Finde_Alle_Fenster(AppContext& ctx, ScanView& view) {
  AppState& st = ctx.state;
  trap(ctx, "Finde_Alle_Fenster", [&] {
    resetState(ctx, view);
    const quint64 self = view.ownWindowHandle();
    const QList<TopLevelWindow> windows = ctx.services.windowList.windows();
    bool otherWindows = false;
    for (const TopLevelWindow& w : windows) {
      if (w.handle == self || !TaskWindow(ctx, w)) continue;
      const QString title = titlerules::windowText(w.title);
      if (title.isEmpty()) continue;
      if (titlerules::isProgramWindow(title)) {
        if (st.instanceCount == std::numeric_limits<qint16>::max()) vberr::raise(vberr::kOverflow);
        ++st.instanceCount;
      }
      if (titlerules::isSavedItemOption(st.commandLine)) {
        st.commandLine.clear();
        applySavedItem(ctx, view);
        return;
      }
      if (titlerules::isAuctionPage(title)) {
        applyAuctionPage(ctx, view, title);
        return;
      }
      otherWindows = true;
    }
    // No auction page. A saved item is shown even when no other window is open: the program
    // is often started before the browser, and the item must survive to the next close.
    if (!savedSetting(ctx, "endet").isEmpty()) {
      applySavedItem(ctx, view);
    } else if (otherWindows) {
      applyNoItem(ctx, view);
    }
  });
}

bool TaskWindow(AppContext& ctx, const TopLevelWindow& window) {
  bool isTaskWindow = false;
  trap(ctx, "TaskWindow", [&] {
    const quint32 style =
        (window.visible ? kStyleVisible : 0u) | (window.bordered ? kStyleBorder : 0u);
    const quint32 mask = ctx.state.taskWindowStyleMask;
    isTaskWindow = (style & mask) == mask;
  });
  return isTaskWindow;
}

bool auctionPageShown(AppContext& ctx, quint64 ownWindowHandle) {
  const QList<TopLevelWindow> windows = ctx.services.windowList.windows();
  return std::any_of(windows.begin(), windows.end(), [&](const TopLevelWindow& w) {
    return w.handle != ownWindowHandle && TaskWindow(ctx, w) &&
           titlerules::isAuctionPage(titlerules::windowText(w.title));
  });
}

void takeOverItem(AppContext& ctx, ScanView& view, const itempage::Outcome& item) {
  AppState& st = ctx.state;
  resetItem(ctx, view);
  st.AuktionTitel = item.auktionTitel;
  st.ItemID = item.itemId;
  view.showBidControls();
  view.showItemTitle(titlerules::itemCaption(st.AuktionTitel));
  st.endet = item.endet;
  showItem(ctx, view);
}
