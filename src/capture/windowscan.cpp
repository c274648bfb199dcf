// The browser window scan: takes the auction item over from a browser window's title.
#include "capture/windowscan.h"

#include <limits>
#include <optional>

#include "app/appstate.h"
#include "app/errortrap.h"
#include "app/logfile.h"
#include "app/regional.h"
#include "app/settings.h"
#include "app/version.h"
#include "capture/itempage.h"
#include "capture/scanview.h"
#include "capture/titlerules.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
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

// The end time and the countdown of an item that is shown.
void showItem(AppContext& ctx, ScanView& view) {
  const AppState& st = ctx.state;
  view.showItemEnd(QStringLiteral("endet am ") + regional::formatGeneralDate(st.endet, st.region));
}

// An item read from a window title or the settings, with its end; `end` is empty when the item
// cannot be read (no item number, or an end that is no date): nothing may be armed on it.
struct ReadItem {
  QString itemId;
  QString auktionTitel;
  QString wholeTitle;
  std::optional<double> end;
  bool readable() const { return !itemId.isEmpty() && end && *end != 0; }
};

ReadItem readTitle(AppContext& ctx, const QString& title) {
  const titlerules::AuctionTitle a = titlerules::readAuctionTitle(title);
  return {a.itemId, a.auktionTitel, a.wholeTitle,
          regional::parseDateTime(a.endText, ctx.state.region, ctx.services.clock.now())};
}

ReadItem readSavedItem(AppContext& ctx, const QString& savedEnd) {
  // Saved from a title by an earlier version, it may still hold what a title must not bring.
  const QString title = titlerules::plainText(savedSetting(ctx, "AuktionTitel"));
  return {savedSetting(ctx, "ItemID"), title, title,
          regional::parseDateTime(savedEnd, ctx.state.region, ctx.services.clock.now())};
}

void applyItem(AppContext& ctx, ScanView& view, const ReadItem& item) {
  AppState& st = ctx.state;
  resetItem(ctx, view);
  st.AuktionTitel = item.auktionTitel;
  st.wholeTitle = item.wholeTitle;
  st.ItemID = item.itemId;
  view.showBidControls();
  view.showItemTitle(titlerules::itemCaption(st.AuktionTitel));
  st.endet = *item.end;
  showItem(ctx, view);
}

void applyNoItem(AppContext& ctx, ScanView& view) {
  resetItem(ctx, view);
  view.showNoItem(titlerules::idleCaption(), QStringLiteral("Kein Artikel gewählt."),
                  titlerules::noItemHint());
}

void tellNotTakenOver(AppContext& ctx, const QString& why, const QString& logDetail) {
  WriteLog(ctx, QStringLiteral("Artikel übernehmen: nicht übernommen - ") + logDetail);
  ctx.services.dialogs.errorBox(QStringLiteral("Der Artikel wurde nicht übernommen.\r\n") + why,
                                version::appTitle());
}

// A browser title of an auction page that cannot be read: the window keeps the item it shows;
// without one it shows none.
void refuseTitle(AppContext& ctx, ScanView& view, const QString& title, const ReadItem& item) {
  const bool noNumber = item.itemId.isEmpty();
  tellNotTakenOver(ctx,
                   noNumber ? QStringLiteral("Im Fenstertitel ist keine Artikelnummer lesbar.")
                            : QStringLiteral("Im Fenstertitel ist das Auktionsende nicht lesbar."),
                   (noNumber ? QStringLiteral("keine Artikelnummer im Fenstertitel: ")
                             : QStringLiteral("Auktionsende nicht lesbar im Fenstertitel: ")) +
                       title.left(200));
  if (ctx.state.endet == 0) applyNoItem(ctx, view);
}

// Said once in a run: every scan without an auction page comes back to the saved item. The
// message names the setting that cannot be read, and its text.
void tellSavedItemUnreadable(AppContext& ctx, const ReadItem& saved, const QString& savedEnd) {
  AppState& st = ctx.state;
  if (st.savedItemUnreadableTold) return;
  st.savedItemUnreadableTold = true;
  const QString setting = saved.end && *saved.end != 0
                              ? QStringLiteral("'ItemID' ist leer")
                              : QStringLiteral("'endet' ist kein Datum mit Uhrzeit: „") +
                                    savedEnd.left(40) + QStringLiteral("“");
  tellNotTakenOver(ctx,
                   QStringLiteral("Der gespeicherte Artikel ist nicht lesbar (Einstellung ") +
                       setting + QStringLiteral(")."),
                   QStringLiteral("gespeicherter Artikel nicht lesbar (") + setting + QChar(')'));
}

}  // namespace

void Finde_Alle_Fenster(AppContext& ctx, ScanView& view) {
  AppState& st = ctx.state;
  trap(ctx, "Finde_Alle_Fenster", [&] {
    // What the window shows changes only once the scan knows what to show: a title that
    // cannot be read leaves the item that is shown in place.
    st.instanceCount = 0;
    const quint64 self = view.ownWindowHandle();
    const QList<TopLevelWindow> windows = ctx.services.windowList.windows();
    const QString savedEnd = savedSetting(ctx, "endet");
    const ReadItem saved = readSavedItem(ctx, savedEnd);
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
        // Nothing readable saved (after an auction's end nothing is): the scan goes on as
        // without the option.
        if (saved.readable()) {
          applyItem(ctx, view, saved);
          return;
        }
      }
      if (titlerules::isAuctionPage(title)) {
        const ReadItem page = readTitle(ctx, title);
        if (page.readable())
          applyItem(ctx, view, page);
        else
          refuseTitle(ctx, view, title, page);
        return;
      }
      otherWindows = true;
    }
    // No auction page. A saved item is shown even when no other window is open: the program
    // is often started before the browser, and the item must survive to the next close.
    if (saved.readable()) {
      applyItem(ctx, view, saved);
      return;
    }
    if (!savedEnd.isEmpty()) tellSavedItemUnreadable(ctx, saved, savedEnd);
    if (otherWindows)
      applyNoItem(ctx, view);
    else
      resetItem(ctx, view);
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
  applyItem(ctx, view, {item.itemId, item.auktionTitel, item.wholeTitle, item.endet});
}
