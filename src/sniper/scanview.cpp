// What the browser scan shows in the main window, step by step as the scan goes.
#include "app/appstate.h"
#include "app/twips.h"
#include "capture/titlerules.h"
#include "sniper/form1.h"

namespace {
void setFontSize(QLabel* label, double pointSize) {
  QFont f = label->font();
  f.setPointSizeF(pointSize);
  label->setFont(f);
}
}  // namespace

void Form1::setItemLinkActive(bool active) {
  Lbl_GoItem->setForeColor(active ? QColor(0, 0, 255) : QColor(128, 128, 128));
  setCustomPointer(Lbl_GoItem, active);
  // Without an item it does nothing, so Tab passes it by.
  Lbl_GoItem->setFocusPolicy(active ? Qt::TabFocus : Qt::NoFocus);
}

void Form1::showItemSummary() {
  const AppState& st = ctx().state;
  Label1->setToolTip(titlerules::itemSummary(st.ItemID, st.wholeTitle, m_bidAmount) +
                     groupSummary());
  announceWindow();
}

quint64 Form1::ownWindowHandle() const {
  return static_cast<quint64>(winId());
}

void Form1::scanStarted(const QString& caption) {
  setCaption(caption);
  Txt_maxbid->hide();
  Command1->hide();
  setFontSize(Label1, 11);
  setTimer1Enabled(false);
  setItemLinkActive(false);
}

void Form1::showBidControls() {
  Txt_maxbid->show();
  Command1->show();
}

void Form1::showItemTitle(const QString& caption) {
  Lbl_NoAuction->hide();
  Lbl_GoItem->show();
  setCaption(caption);
}

void Form1::showItemEnd(const QString& titleLine) {
  // Another item: the amount typed for the last one must not be armed for it by one Enter, nor
  // its bid be shown.
  if (ctx().state.ItemID != m_summaryItemId) {
    m_summaryItemId = ctx().state.ItemID;
    m_bidAmount.clear();
    Txt_maxbid->clear();
  }
  // What comes next is the amount: the keyboard is there, at start-up and after a take-over.
  Txt_maxbid->setFocus();
  showItemSummary();
  Label1->setText(titleLine);
  LabelZeit->show();
  setTimer1Enabled(true);
  setItemLinkActive(true);
}

void Form1::showHint(const QString& hint) {
  QLabel* label = Lbl_NoAuction;
  setFontSize(label, 10);
  label->setText(hint);
  // The six lines use the panel's whole inner width, so none of them has to wrap.
  label->setWordWrap(false);
  label->setGeometry(Shape2->x() + 2, label->y(), Shape2->width() - 4, label->height());
  fitLinesToWidth(label);
  autoSize(label, true);
  // Centred vertically on the left panel.
  const float top = static_cast<float>(twips::top(Shape2)) +
                    static_cast<float>(twips::height(Shape2)) / 2.0f -
                    static_cast<float>(twips::height(label)) / 2.0f;
  twips::setTop(label, top);
  label->show();
}

void Form1::showNoItem(const QString& caption, const QString& titleLine, const QString& hint) {
  Txt_maxbid->hide();
  Command1->hide();
  setCaption(caption);
  Label1->setText(titleLine);
  Label1->setToolTip(QString());

  showHint(hint);

  LabelZeit->hide();
  Update_Label();
  setTimer1Enabled(false);
  setItemLinkActive(false);
}
