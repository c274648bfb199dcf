#pragma once

#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "app/context.h"
#include "app/widgets.h"
#include "bidding/bidview.h"
#include "bidding/bidwarmup.h"
#include "bidding/ebayroute.h"
#include "capture/scanview.h"
#include "groups/grouprule.h"
#include "timesync/sitetimegate.h"

class GroupBus;
class GroupMember;
class ItemPageFetch;
namespace ebay {
struct ItemResult;
}
namespace itempage {
struct Answer;
}

// The main window: the taken-over auction's title strip, the countdown panel with the bid
// controls, and the panel of link labels. It is the only part of the program that changes
// what the window shows: the browser scan, the bid, the clock synchronisation and the version
// check report to it through ScanView, BidView, SiteTimeGate and UpdateMark. Its controls are
// private and carry the design's names as objectNames (findChild<QLabel*>("LabelZeit")).
class Form1 : public QWidget, public ScanView, public BidView, public SiteTimeGate {
  Q_OBJECT

 public:
  explicit Form1(AppContext& ctx, QWidget* parent = nullptr);
  ~Form1() override;

  // Start-up and shutdown.
  void Form1init();
  void Form_Unload();

  // Countdown and bid trigger.
  void Timer1_Timer();
  void Update_Label();

  // Arming and keyboard commands.
  void Command1_Click();
  void Form_KeyDown(int keyCode, int shift);
  void Txt_maxbid_KeyUp(int keyCode, int shift);
  void Txt_maxbid_Change();

  // Link labels and hover feedback.
  void Lbl_GoItem_Click();
  void Lbl_GetTime_Click();
  void Lbl_Optionen_Click();
  void Lbl_GetArtikel_Click();
  void Lbl_GoItem_MouseMove();
  void Lbl_GetTime_MouseMove();
  void Lbl_Optionen_MouseMove();
  void Lbl_GetArtikel_MouseMove();
  void Form_MouseMove();
  void Lbl_update_Click();

  // Taking the item over from a copied or dropped link or item number (itemtakeover.cpp).
  // Texts dropped on the window: the first that names an item is loaded.
  void Form_OLEDragDrop(const QStringList& texts);
  // The item page has come (or not).
  void ItemPage_Loaded(const itempage::Answer& answer);

  // Bid groups (groupmenu.cpp): main hands in the bus the user's windows share; without one a
  // group is refused.
  void setGroupBus(GroupBus* bus);
  // The item's result after the end, from whichever route learnt it (the item page, the eBay
  // API): the group is told, and a window in a group says "gewonnen" or "nicht gewonnen".
  void itemResultKnown(bool won);

  // Main stops the countdown around the synchronisation at start.
  void setTimer1Enabled(bool enabled);

  // What the window shows (for a reader of the window; the controls themselves are found by
  // their objectNames).
  bool timer1Enabled() const;
  QString caption() const { return windowTitle(); }
  QColor backColor() const;
  QColor command1BackColor() const;
  // LabelZeit's caption, lines joined by LF.
  QString labelZeitCaption() const { return LabelZeit->text(); }
  // What the window tells its bid group: none, armed, bid, won or lost.
  grouprule::State groupState() const;

 signals:
  // The window has been closed and its unload handler has run.
  void unloaded();

 protected:
  void closeEvent(QCloseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  // What the browser scan shows (ScanView).
  quint64 ownWindowHandle() const override;
  void scanStarted(const QString& caption) override;
  void showBidControls() override;
  void showItemTitle(const QString& caption) override;
  void showItemEnd(const QString& titleLine) override;
  void showNoItem(const QString& caption, const QString& titleLine, const QString& hint) override;
  // The hint in place of the countdown, centred on the left panel.
  void showHint(const QString& hint);
  // A newer version is offered (UpdateMark).
  void showUpdateMark() override;
  // A newer version is offered that this copy can install itself: the mark may show.
  bool offersUpdate();
  // The bid's outcome, as soon as the bid transaction knows it (BidView).
  void bidOutcomeKnown(const QString& code) override;
  // A new measurement of the site's clock (SiteTimeGate, clockchange.cpp): while armed it may
  // move the trigger earlier, or later by a few seconds, and says so; later than that only on
  // the user's yes.
  bool takeOverNow(qint64 leadMs) override;
  void siteTimeTakenOver() override;
  void askToTakeOver(qint64 leadMs, qint64 shiftMs);

  // Controls, named as in the design (each also its objectName). The single-shot timer
  // "TriggerTimer" evaluates the countdown right at the trigger second.
  ShapeWidget* Shape3;
  QLabel* Label1;
  LinkLabel* Lbl_update;
  ShapeWidget* Shape2;
  QLabel* LabelZeit;
  QLabel* Label2;
  QLabel* LblBieten;
  QLineEdit* Txt_maxbid;
  QPushButton* Command1;
  ShapeWidget* Shape1;
  LinkLabel* Lbl_GoItem;
  LinkLabel* Lbl_GetTime;
  LinkLabel* Lbl_Optionen;
  LinkLabel* Lbl_GetArtikel;
  QLabel* Lbl_NoAuction;
  QTimer* Timer1;
  QTimer* m_triggerTimer = nullptr;
  // Loads item pages in the background ("ItemPageFetch").
  ItemPageFetch* m_itemPageFetch = nullptr;

  AppContext& ctx() { return m_ctx; }
  void buildControls();
  void setTimer1(bool enabled, int intervalMs);
  void setCaption(const QString& caption) { setWindowTitle(caption); }
  void setBackColor(const QColor& c);
  void setCommand1BackColor(const QColor& c);
  // Re-centres LabelZeit vertically in Shape2, lifted by the clock label offset.
  void centreLabelZeit();
  // Sets LabelZeit's text and font size and fits its height to the text.
  void setLabelZeit(const QString& text, double pointSize);
  void setLabelZeitFontSize(double pointSize);
  // LabelZeit's caption; lines may be joined by CR LF or LF.
  void setLabelZeitCaption(const QString& text);
  // Whole seconds from now to the item's end (negative once it has passed).
  qint64 remainingSeconds() const;
  // Opens the options dialog modally and returns when it is closed.
  void showOptionsDialog();
  void connectHandlers();
  // Marks a bid sequence (the countdown's or Ctrl+F9's) from its start to its end: no second
  // one starts, the button cannot arm, and a close of the window waits for the end, where the
  // mark's release carries it out.
  class BidSequence {
   public:
    explicit BidSequence(Form1& form) : m_form(form) { m_form.beginBidSequence(); }
    ~BidSequence() { m_form.endBidSequence(); }
    BidSequence(const BidSequence&) = delete;
    BidSequence& operator=(const BidSequence&) = delete;

   private:
    Form1& m_form;
  };
  void beginBidSequence();
  void endBidSequence();
  // Countdown pieces of Update_Label.
  void runBidSequence(qint64 remaining);
  // The trigger passed while the program could not run and the auction is over: no bid.
  void missBid(qint64 remaining);
  void showCountdown(qint64 remaining);
  void showAuctionOver();
  void scheduleTriggerEvaluation(qint64 remaining, qint32 trigger);
  void triggerTimerFired();
  void evaluateAtTrigger();
  // Arming pieces of Command1_Click.
  void disarm(QString& step);
  void arm(QString& step);
  // Why the amount could not be taken (amounthint.h), beside the field; empty clears it.
  void showAmountHint(const QString& text);
  void setLinkNormal(LinkLabel* label);
  void setLinkHover(LinkLabel* label);
  // Taking the item over: "Artikel übernehmen" looks at the browser windows, then the clipboard.
  void takeOverFromWindowOrClipboard();
  // Start-up, after the scan: the clipboard's item when no window shows one and the saved item
  // was not asked for ("-bay").
  void takeOverClipboardItemAtStart(bool savedItemAsked);
  void loadItemPage(const QString& itemId);
  void cancelItemPage();
  // Neither armed nor bidding nor closing: the item may change.
  bool itemMayChange() const;
  void setItemLinkActive(bool active);
  // The title strip's tooltip: item number, whole title and the amount of a bid made.
  void showItemSummary();
  // eBay's API (ebayitem.cpp): items read through the Browse API when a keyset is set up, their
  // price and minimum bid in the link panel's free corners, arming for a bid through the API,
  // and eBay's verdict after the end.
  void setUpEbayRoute();
  void loadEbayItem(const QString& itemId);
  void ebayItemLoaded(const QString& itemId, const ebay::ItemResult& result);
  void showEbayPrice();
  bool armThroughEbay(const QString& typed);
  void ebayAuctionDecided(bool won, const BidOutcome& outcome);
  // Fits a label's height (and with keepWidth false also its width) to its text.
  static void autoSize(QLabel* label, bool keepWidth);
  // For a snipe nobody watches (bidwatch.cpp): the computer stays awake while armed, and the
  // outcome is shown and announced where the user looks.
  void keepAwake();
  void letSleep();
  void showOutcomeAtOnce();
  void announceOutcome(const QString& text);
  void raiseWindow();
  // Bid groups (groupmenu.cpp).
  void showGroupDialog();
  QString groupSummary() const;
  void announceWindow();
  void setGroupState(grouprule::State state);
  // At the trigger: whether the group lets this window bid now; holds or disarms it if not.
  bool groupAllowsBid(qint64 remaining);
  void notifyGroup(const QString& text);
  void groupBidOutcome(const QString& code);
  void checkGroupResultAfterEnd();
  void showGroupResult();

  AppContext& m_ctx;
  // The bid's connection, opened in the last seconds before the trigger.
  BidWarmUp m_bidWarmUp{m_ctx};
  // The bid through eBay's API, and the item read there (none while loading: empty).
  EbayRoute m_ebayRoute{m_ctx};
  QString m_ebayItemLoading;
  QLabel* Lbl_Preis = nullptr;
  QLabel* Lbl_Mindestgebot = nullptr;
  bool m_unloaded = false;
  // The window was closed while a bid sequence ran; it closes when the sequence ends.
  bool m_closeAfterBid = false;
  // An evaluation of the countdown is running (it may be waiting inside the bid or the pause
  // after it, whose event loops deliver further timer events).
  bool m_evaluating = false;
  // The moment the trigger timer is set for (local ms): the start of the trigger second.
  qint64 m_triggerAtMs = 0;
  // The countdown's bid sequence waits inside do_bid; then whether its outcome is on screen
  // already (a bid that was not placed), and whether it still is to be announced.
  bool m_countdownBid = false;
  bool m_outcomeShown = false;
  bool m_outcomeToAnnounce = false;
  // Counts the questions whether to take a measured time over: an answer counts only while its
  // question is the latest and no other time was taken over since.
  int m_clockQuestion = 0;
  QColor m_backColor;
  QColor m_command1BackColor;
  // The item the amount field and the summary are for, and the amount bid on it (as shown).
  QString m_summaryItemId;
  QString m_bidAmount;
  // The bid group and what the window knows of it.
  GroupMember* m_group = nullptr;
  ItemPageFetch* m_resultFetch = nullptr;
  QString m_groupBidCode;
  QString m_groupResultText;
  bool m_groupHoldLogged = false;
  // Enter went down in the amount field (its release there arms).
  bool m_enterDownInAmount = false;
};
