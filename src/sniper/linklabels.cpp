// The main window's link labels and their hover feedback.
#include <QUrl>

#include "app/appstate.h"
#include "app/errortrap.h"
#include "capture/windowscan.h"
#include "platform/services.h"
#include "platform/shell.h"
#include "sniper/form1.h"
#include "timesync/gettime.h"

namespace {
const QColor kLinkBlue(0, 0, 255);
const QColor kHoverRed(255, 0, 0);
}  // namespace

void Form1::setLinkNormal(LinkLabel* label) {
  label->setForeColor(kLinkBlue);
  label->setUnderlined(false);
}

void Form1::setLinkHover(LinkLabel* label) {
  label->setForeColor(kHoverRed);
  label->setUnderlined(true);
}

void Form1::Lbl_GoItem_Click() {
  AppState& st = ctx().state;
  trap(ctx(), "Lbl_GoItem_Click", [&] {
    if (st.ItemID.isEmpty()) return;
    // The item number is percent-encoded, so a crafted title cannot change the page's query.
    const QString url = st.endpoints.itemHostDe +
                        QStringLiteral("/ws/eBayISAPI.dll?ViewItem&item=") +
                        QString::fromLatin1(QUrl::toPercentEncoding(st.ItemID));
    ctx().services.shell.openUrl(url);
  });
}

void Form1::Lbl_GetTime_Click() {
  trap(ctx(), "Lbl_GetTime_Click", [&] { get_time(ctx(), *this, this, this); });
}

void Form1::Lbl_Optionen_Click() {
  trap(ctx(), "Lbl_Optionen_Click", [&] {
    if (ctx().state.armed) return;
    setLinkNormal(Lbl_Optionen);
    showOptionsDialog();
  });
}

void Form1::Lbl_GetArtikel_Click() {
  trap(ctx(), "Lbl_GetArtikel_Click", [&] {
    if (ctx().state.armed) return;
    takeOverFromWindowOrClipboard();
    Update_Label();
  });
}

void Form1::Lbl_GoItem_MouseMove() {
  trap(ctx(), "Lbl_GoItem_MouseMove", [&] {
    if (!ctx().state.ItemID.isEmpty()) setLinkHover(Lbl_GoItem);
  });
}

void Form1::Lbl_GetTime_MouseMove() {
  trap(ctx(), "Lbl_GetTime_MouseMove", [&] { setLinkHover(Lbl_GetTime); });
}

void Form1::Lbl_Optionen_MouseMove() {
  trap(ctx(), "Lbl_Optionen_MouseMove", [&] {
    if (!ctx().state.armed) setLinkHover(Lbl_Optionen);
  });
}

void Form1::Lbl_GetArtikel_MouseMove() {
  trap(ctx(), "Lbl_GetArtikel_MouseMove", [&] {
    if (!ctx().state.armed) setLinkHover(Lbl_GetArtikel);
  });
}

void Form1::Form_MouseMove() {
  trap(ctx(), "Form_MouseMove", [&] {
    if (!ctx().state.ItemID.isEmpty()) setLinkNormal(Lbl_GoItem);
    if (!ctx().state.armed) {
      setLinkNormal(Lbl_GetArtikel);
      setLinkNormal(Lbl_Optionen);
    }
    setLinkNormal(Lbl_GetTime);
  });
}
