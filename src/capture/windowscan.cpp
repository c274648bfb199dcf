// The browser window scan: takes the auction item over from a browser window's title.
#include "capture/windowscan.h"

#include <QFont>
#include <limits>

#include "app/appstate.h"
#include "app/errortrap.h"
#include "app/regional.h"
#include "app/settings.h"
#include "app/twips.h"
#include "capture/itempage.h"
#include "capture/titlerules.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "platform/windowlist.h"
#include "sniper/form1.h"

namespace {

// Window style bits as the scan tests them.
constexpr quint32 kStyleVisible = 0x10000000;
constexpr quint32 kStyleBorder = 0x00800000;

const QColor kGrey(128, 128, 128);
const QColor kBlue(0, 0, 255);

void setFontSize(QLabel* label, double pointSize) {
  QFont f = label->font();
  f.setPointSizeF(pointSize);
  label->setFont(f);
}

void resetItem(Form1& form);

QString savedSetting(AppContext& ctx, const char* key) {
  return ctx.settings.GetSetting(settingskeys::kApp, settingskeys::kSection,
                                 QString::fromLatin1(key));
}

// Step 1 of the scan: no item, nothing armed-looking, the timer stopped.
void resetState(Form1& form) {
  AppState& st = form.ctx().state;
  st.instanceCount = 0;
  resetItem(form);
}

void resetItem(Form1& form) {
  AppState& st = form.ctx().state;
  st.endet = 0;
  form.setCaption(titlerules::idleCaption());
  form.Txt_maxbid->hide();
  form.Command1->hide();
  setFontSize(form.Label1, 11);
  form.setTimer1Enabled(false);
  st.ItemID.clear();
  form.Lbl_GoItem->setForeColor(kGrey);
  setCustomPointer(form.Lbl_GoItem, false);
}

// The end time and the countdown of an item that is shown.
void showItem(Form1& form) {
  AppState& st = form.ctx().state;
  form.Label1->setText(QStringLiteral("endet am ") +
                       regional::formatGeneralDate(st.endet, st.region));
  form.LabelZeit->show();
  form.setTimer1Enabled(true);
  form.Lbl_GoItem->setForeColor(kBlue);
  setCustomPointer(form.Lbl_GoItem, true);
}

void applyAuctionPage(Form1& form, const QString& title) {
  AppState& st = form.ctx().state;
  const titlerules::AuctionTitle a = titlerules::readAuctionTitle(title);
  st.AuktionTitel = a.auktionTitel;
  st.ItemID = a.itemId;
  form.Txt_maxbid->show();
  form.Command1->show();
  form.Lbl_NoAuction->hide();
  form.Lbl_GoItem->show();
  form.setCaption(titlerules::itemCaption(st.AuktionTitel));
  st.endet = regional::toDate(a.endText, st.region, form.ctx().services.clock.now());
  showItem(form);
}

void applySavedItem(Form1& form) {
  AppContext& ctx = form.ctx();
  AppState& st = ctx.state;
  form.Txt_maxbid->show();
  form.Command1->show();
  st.AuktionTitel = savedSetting(ctx, "AuktionTitel");
  st.ItemID = savedSetting(ctx, "ItemID");
  st.endet = regional::toDate(savedSetting(ctx, "endet"), st.region, ctx.services.clock.now());
  form.Lbl_NoAuction->hide();
  form.Lbl_GoItem->show();
  form.setCaption(titlerules::itemCaption(st.AuktionTitel));
  showItem(form);
}

void applyNoItem(Form1& form) {
  AppState& st = form.ctx().state;
  form.Txt_maxbid->hide();
  form.Command1->hide();
  st.endet = 0;
  form.setCaption(titlerules::idleCaption());
  form.Label1->setText(QStringLiteral("Kein Artikel gewählt."));

  QLabel* hint = form.Lbl_NoAuction;
  setFontSize(hint, 10);
  hint->setText(titlerules::noItemHint());
  // The six lines use the panel's whole inner width, so none of them has to wrap.
  hint->setWordWrap(false);
  hint->setGeometry(form.Shape2->x() + 2, hint->y(), form.Shape2->width() - 4, hint->height());
  fitLinesToWidth(hint);
  Form1::autoSize(hint, true);
  // Centred vertically on the left panel.
  const float top = static_cast<float>(twips::top(form.Shape2)) +
                    static_cast<float>(twips::height(form.Shape2)) / 2.0f -
                    static_cast<float>(twips::height(hint)) / 2.0f;
  twips::setTop(hint, top);
  hint->show();

  form.LabelZeit->hide();
  form.Update_Label();
  form.setTimer1Enabled(false);
  st.ItemID.clear();
  form.Lbl_GoItem->setForeColor(kGrey);
  setCustomPointer(form.Lbl_GoItem, false);
}

}  // namespace

void Finde_Alle_Fenster(Form1& form) {
  AppContext& ctx = form.ctx();
  AppState& st = ctx.state;
  trap(ctx, "Finde_Alle_Fenster", [&] {
    resetState(form);
    const quint64 self = static_cast<quint64>(form.winId());
    const QList<TopLevelWindow> windows = ctx.services.windowList.windows();
    bool otherWindows = false;
    for (const TopLevelWindow& w : windows) {
      if (w.handle == self || !TaskWindow(form, w)) continue;
      const QString title = titlerules::windowText(w.title);
      if (title.isEmpty()) continue;
      if (titlerules::isProgramWindow(title)) {
        if (st.instanceCount == std::numeric_limits<qint16>::max()) vberr::raise(vberr::kOverflow);
        ++st.instanceCount;
      }
      if (titlerules::isSavedItemOption(st.commandLine)) {
        st.commandLine.clear();
        applySavedItem(form);
        return;
      }
      if (titlerules::isAuctionPage(title)) {
        applyAuctionPage(form, title);
        return;
      }
      otherWindows = true;
    }
    // No auction page. A saved item is shown even when no other window is open: the program
    // is often started before the browser, and the item must survive to the next close.
    if (!savedSetting(ctx, "endet").isEmpty()) {
      applySavedItem(form);
    } else if (otherWindows) {
      applyNoItem(form);
    }
  });
}

bool TaskWindow(Form1& form, const TopLevelWindow& window) {
  bool isTaskWindow = false;
  trap(form.ctx(), "TaskWindow", [&] {
    const quint32 style =
        (window.visible ? kStyleVisible : 0u) | (window.bordered ? kStyleBorder : 0u);
    const quint32 mask = form.ctx().state.taskWindowStyleMask;
    isTaskWindow = (style & mask) == mask;
  });
  return isTaskWindow;
}

bool auctionPageShown(Form1& form) {
  const quint64 self = static_cast<quint64>(form.winId());
  const QList<TopLevelWindow> windows = form.ctx().services.windowList.windows();
  return std::any_of(windows.begin(), windows.end(), [&](const TopLevelWindow& w) {
    return w.handle != self && TaskWindow(form, w) &&
           titlerules::isAuctionPage(titlerules::windowText(w.title));
  });
}

void takeOverItem(Form1& form, const itempage::Outcome& item) {
  AppState& st = form.ctx().state;
  // The same steps as for a browser window's title, the item's values read from its page.
  resetItem(form);
  st.AuktionTitel = item.auktionTitel;
  st.ItemID = item.itemId;
  form.Txt_maxbid->show();
  form.Command1->show();
  form.Lbl_NoAuction->hide();
  form.Lbl_GoItem->show();
  form.setCaption(titlerules::itemCaption(st.AuktionTitel));
  st.endet = item.endet;
  showItem(form);
}
