#include "sniper/form1.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <utility>

#include "app/appstate.h"
#include "app/twips.h"
#include "capture/itemfetch.h"
#include "capture/titlerules.h"
#include "groups/groupmember.h"

// The images (cursor, icon) live in the core library, which must register them itself.
static void initResources() {
  Q_INIT_RESOURCE(resources);
}

namespace {
const QColor kLinkBlue(0, 0, 255);

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setFont(font);
  l->setAttribute(Qt::WA_TransparentForMouseEvents);
  return l;
}

LinkLabel* makeLink(QWidget* parent, const char* name, const QString& text, const QString& tip) {
  auto* l = new LinkLabel(parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setText(text);
  l->setFont(designFont(QStringLiteral("Arial"), 9));
  l->setForeColor(kLinkBlue);
  l->setToolTip(tip);
  setCustomPointer(l, true);
  return l;
}

ShapeWidget* makeShape(QWidget* parent, const char* name) {
  auto* s = new ShapeWidget(parent);
  s->setObjectName(QString::fromLatin1(name));
  return s;
}
}  // namespace

Form1::Form1(AppContext& ctx, QWidget* parent) : QWidget(parent), m_ctx(ctx) {
  initResources();
  setObjectName(QStringLiteral("Form1"));
  // Without a bus (setGroupBus) the window is in no group and refuses one.
  m_group = new GroupMember(nullptr, this);
  buildControls();
  connectHandlers();
}

Form1::~Form1() = default;

void Form1::buildControls() {
  setFixedSize(twips::toPixelsX(4200, this), twips::toPixelsY(2745, this));
  setMouseTracking(true);
  setWindowIcon(QIcon(QStringLiteral(":/gebotsfalke.png")));
  setAutoFillBackground(true);
  setBackColor(QColor(224, 224, 224));
  setCaption(QStringLiteral("GebotsfalkePlus"));
  // A link dropped anywhere on the window takes its item over (the amount field included).
  setAcceptDrops(true);

  // Created back to front: shapes first, so that the labels lie on top of them.
  Shape3 = makeShape(this, "Shape3");
  twips::setGeometry(Shape3, 120, 120, 3975, 495);
  Shape2 = makeShape(this, "Shape2");
  twips::setGeometry(Shape2, 120, 720, 2055, 1935);
  Shape1 = makeShape(this, "Shape1");
  twips::setGeometry(Shape1, 2280, 720, 1815, 1935);

  Label1 = makeLabel(this, "Label1", QStringLiteral("keine Auktionsdaten weit und breit"),
                     designFont(QStringLiteral("Arial"), 12));
  Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  twips::setGeometry(Label1, 270, 240, 3585, 270);
  // Its tooltip says what is taken over (item number, whole title, the bid): it takes the mouse,
  // and hands its movement on to the window, which restores the links' look.
  Label1->setAttribute(Qt::WA_TransparentForMouseEvents, false);
  Label1->setMouseTracking(true);

  Lbl_update =
      makeLink(this, "Lbl_update", QStringLiteral("U"), QStringLiteral("Update verfügbar"));
  Lbl_update->setFont(designFont(QStringLiteral("Arial"), 15.75, true));
  Lbl_update->setForeColor(QColor(255, 0, 0));
  Lbl_update->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Lbl_update->setAccessibleName(QStringLiteral("Update verfügbar"));
  Lbl_update->setAccessibleRole(QAccessible::Button);
  twips::setGeometry(Lbl_update, 3675, 195, 225, 360);

  // The countdown spans the panel's width; its height follows its text.
  LabelZeit = makeLabel(this, "LabelZeit", QString(), designFont(QStringLiteral("Arial"), 12));
  LabelZeit->setAlignment(Qt::AlignCenter);
  twips::setGeometry(LabelZeit, 135, 960, 2025, 495);

  Label2 = makeLabel(this, "Label2", QString(), designFont(QStringLiteral("Arial"), 8.25));
  setLabelForeColor(Label2, QColor(247, 255, 244));
  twips::setGeometry(Label2, 360, 720, 840, 195);

  LblBieten = makeLabel(this, "LblBieten", QString(), designFont(QStringLiteral("Arial"), 9));
  LblBieten->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  twips::setGeometry(LblBieten, 260, 1560, 1815, 615);
  LblBieten->hide();

  Txt_maxbid = new QLineEdit(this);
  Txt_maxbid->setObjectName(QStringLiteral("Txt_maxbid"));
  Txt_maxbid->setAcceptDrops(false);
  Txt_maxbid->setFont(designFont(QStringLiteral("Microsoft Sans Serif"), 8.25));
  Txt_maxbid->setAccessibleName(QStringLiteral("Höchstgebot"));
  twips::setGeometry(Txt_maxbid, 240, 2207, 735, 313);

  Command1 = new QPushButton(QStringLiteral("Bieten"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setFont(designFont(QStringLiteral("Microsoft Sans Serif"), 8.25));
  Command1->setFocusPolicy(Qt::TabFocus);
  twips::setGeometry(Command1, 1080, 2207, 975, 313);
  setCommand1BackColor(QColor(224, 224, 224));

  Lbl_GoItem = makeLink(this, "Lbl_GoItem", QStringLiteral("Link zum Artikel"),
                        QStringLiteral(" Öffnet die Artikelbeschreibung bei eBay "));
  twips::setGeometry(Lbl_GoItem, 2730, 960, 1275, 225);
  Lbl_GetTime = makeLink(this, "Lbl_GetTime", QStringLiteral("Uhr synchronisieren"),
                         QStringLiteral(" Synchronisiert die Systemuhr mit dem eBayserver "));
  twips::setGeometry(Lbl_GetTime, 2340, 1360, 1665, 225);
  Lbl_Optionen = makeLink(this, "Lbl_Optionen", QStringLiteral("zu den Optionen"),
                          QStringLiteral(" Öffnet das Optionsformular "));
  twips::setGeometry(Lbl_Optionen, 2670, 1760, 1335, 225);
  Lbl_GetArtikel = makeLink(this, "Lbl_GetArtikel", QStringLiteral("Artikel übernehmen"),
                            QStringLiteral(" Übernimmt den Artikel aus dem Browser "));
  twips::setGeometry(Lbl_GetArtikel, 2400, 2160, 1605, 225);
  for (LinkLabel* l : {Lbl_GoItem, Lbl_GetTime, Lbl_Optionen, Lbl_GetArtikel}) {
    l->setAlignment(Qt::AlignRight | Qt::AlignTop);
    // In a font wider than the design's a link may take the panel's width (its right edge and
    // alignment stay), then come closer together.
    fitLinkToWidth(l, Shape1->x() + 3);
  }
  // The item link opens a page; the others are commands.
  for (LinkLabel* l : {Lbl_GetTime, Lbl_Optionen, Lbl_GetArtikel})
    l->setAccessibleRole(QAccessible::Button);
  // Tab goes in reading order: the top strip, the left panel, then the links top to bottom.
  QWidget* tabOrder[] = {Lbl_update,  Txt_maxbid,   Command1,      Lbl_GoItem,
                         Lbl_GetTime, Lbl_Optionen, Lbl_GetArtikel};
  for (size_t i = 0; i + 1 < std::size(tabOrder); ++i) setTabOrder(tabOrder[i], tabOrder[i + 1]);

  Lbl_NoAuction = makeLabel(this, "Lbl_NoAuction", QString(),
                            designFont(QStringLiteral("Microsoft Sans Serif"), 8.25));
  Lbl_NoAuction->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Lbl_NoAuction->setWordWrap(true);
  twips::setGeometry(Lbl_NoAuction, 195, 960, 1905, 1200);
  // Until a scan finds an item, the hint names both ways to one (a browser page or a copied
  // link): a Wayland desktop's browsers are not in the window list at all.
  showHint(titlerules::noItemHint());

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(500);
  Timer1->start();

  m_triggerTimer = new QTimer(this);
  m_triggerTimer->setObjectName(QStringLiteral("TriggerTimer"));
  m_triggerTimer->setSingleShot(true);
  m_triggerTimer->setTimerType(Qt::PreciseTimer);

  m_itemPageFetch = new ItemPageFetch(this);
  m_itemPageFetch->setObjectName(QStringLiteral("ItemPageFetch"));
  setUpEbayRoute();
}

void Form1::connectHandlers() {
  connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
  connect(m_triggerTimer, &QTimer::timeout, this, &Form1::triggerTimerFired);
  connect(m_itemPageFetch, &ItemPageFetch::finished, this, &Form1::ItemPage_Loaded);
  connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
  connect(Txt_maxbid, &QLineEdit::textChanged, this, &Form1::Txt_maxbid_Change);
  // A new amount is typed: what was said about the last one no longer applies.
  connect(Txt_maxbid, &QLineEdit::textEdited, this, [this] { showAmountHint(QString()); });
  connect(Lbl_GoItem, &LinkLabel::clicked, this, &Form1::Lbl_GoItem_Click);
  connect(Lbl_GetTime, &LinkLabel::clicked, this, &Form1::Lbl_GetTime_Click);
  connect(Lbl_Optionen, &LinkLabel::clicked, this, &Form1::Lbl_Optionen_Click);
  connect(Lbl_GetArtikel, &LinkLabel::clicked, this, &Form1::Lbl_GetArtikel_Click);
  connect(Lbl_update, &LinkLabel::clicked, this, &Form1::Lbl_update_Click);
  connect(Lbl_GoItem, &LinkLabel::mouseMoved, this, &Form1::Lbl_GoItem_MouseMove);
  connect(Lbl_GetTime, &LinkLabel::mouseMoved, this, &Form1::Lbl_GetTime_MouseMove);
  connect(Lbl_Optionen, &LinkLabel::mouseMoved, this, &Form1::Lbl_Optionen_MouseMove);
  connect(Lbl_GetArtikel, &LinkLabel::mouseMoved, this, &Form1::Lbl_GetArtikel_MouseMove);
  Txt_maxbid->installEventFilter(this);
  Command1->installEventFilter(this);
}

void Form1::setTimer1(bool enabled, int intervalMs) {
  // Only what changes is touched, so a running timer keeps its rhythm.
  if (Timer1->interval() != intervalMs) Timer1->setInterval(intervalMs);
  setTimer1Enabled(enabled);
}

void Form1::setTimer1Enabled(bool enabled) {
  if (enabled && !Timer1->isActive()) Timer1->start();
  if (!enabled && Timer1->isActive()) Timer1->stop();
}

bool Form1::timer1Enabled() const {
  return Timer1->isActive();
}

void Form1::setBackColor(const QColor& c) {
  m_backColor = c;
  QPalette pal = palette();
  pal.setColor(QPalette::Window, c);
  // The backgrounds are light whatever the desktop's theme, and so the text on them is dark: a
  // dark theme would paint it white (the links set colours of their own).
  pal.setColor(QPalette::WindowText, Qt::black);
  setPalette(pal);
}

QColor Form1::backColor() const {
  return m_backColor;
}

void Form1::setCommand1BackColor(const QColor& c) {
  m_command1BackColor = c;
  Command1->setStyleSheet(
      QStringLiteral("QPushButton { background-color: %1; color: black; border: 1px solid "
                     "#808080; } QPushButton:pressed { border: 2px inset "
                     "#404040; } QPushButton:focus { border: 1px solid black; }")
          .arg(c.name()));
}

QColor Form1::command1BackColor() const {
  return m_command1BackColor;
}

void Form1::autoSize(QLabel* label, bool keepWidth) {
  const QFontMetrics fm(label->font());
  const QRect r = fm.boundingRect(
      QRect(0, 0, keepWidth ? label->width() : 10000, 10000),
      int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0), label->text());
  if (keepWidth) {
    label->resize(label->width(), r.height() + 2);
  } else {
    label->resize(r.width() + 2, r.height() + 2);
  }
}

void Form1::setLabelZeit(const QString& text, double pointSize) {
  setLabelZeitFontSize(pointSize);
  setLabelZeitCaption(text);
}

void Form1::setLabelZeitCaption(const QString& text) {
  // Lines of the program's texts are joined by CR LF; the label breaks lines at LF alone.
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  LabelZeit->setText(shown);
  autoSize(LabelZeit, true);
}

void Form1::setLabelZeitFontSize(double pointSize) {
  QFont f = LabelZeit->font();
  f.setPointSizeF(pointSize);
  LabelZeit->setFont(f);
  autoSize(LabelZeit, true);
}

void Form1::centreLabelZeit() {
  const float top = static_cast<float>(twips::top(Shape2)) +
                    static_cast<float>(twips::height(Shape2)) / 2.0f -
                    static_cast<float>(twips::height(LabelZeit)) / 2.0f -
                    static_cast<float>(m_ctx.state.clockLabelOffset);
  twips::setTop(LabelZeit, top);
}

void Form1::closeEvent(QCloseEvent* e) {
  if (m_unloaded) {
    e->accept();
    return;
  }
  if (m_ctx.state.bidBusy) {
    // A bid is under way: its exchange runs to its end (each transfer bounded by its
    // time-out), the steps after it only disarm, and the sequence's end closes the window.
    // Until then the window stays as it is, showing the bid. Waits give up at once, and a
    // result box of Ctrl+F9 that is open is closed.
    m_closeAfterBid = true;
    m_ctx.state.closing = true;
    for (QDialog* box : findChildren<QDialog*>())
      if (box->isVisible()) box->reject();
    e->ignore();
    return;
  }
  m_unloaded = true;
  Form_Unload();
  e->accept();
  emit unloaded();
}

void Form1::mouseMoveEvent(QMouseEvent* e) {
  QWidget::mouseMoveEvent(e);
  Form_MouseMove();
}

namespace {
// Key codes and modifier states as the handlers expect them: F5 116, F9 120, Enter 13;
// Shift 1, Ctrl 2, Alt 4.
int handlerKeyCode(int qtKey) {
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 112 + (qtKey - Qt::Key_F1);
  if (qtKey == Qt::Key_Return || qtKey == Qt::Key_Enter) return 13;
  if (qtKey >= 0x20 && qtKey < 0x7F) return qtKey;
  return 0;
}
int handlerShift(Qt::KeyboardModifiers m) {
  return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
         (m & Qt::AltModifier ? 4 : 0);
}
}  // namespace

void Form1::keyPressEvent(QKeyEvent* e) {
  Form_KeyDown(handlerKeyCode(e->key()), handlerShift(e->modifiers()));
  QWidget::keyPressEvent(e);
}

bool Form1::eventFilter(QObject* watched, QEvent* e) {
  // The window sees every key first, wherever the focus is.
  if (e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    const int code = handlerKeyCode(k->key());
    const int shift = handlerShift(k->modifiers());
    if (watched == Txt_maxbid && code == 13) m_enterDownInAmount = true;
    Form_KeyDown(code, shift);
    // Handled here; it must not reach the window a second time when the field ignores it.
    if (code >= 112 && code <= 135) return true;
  } else if (e->type() == QEvent::ContextMenu && watched == Txt_maxbid &&
             static_cast<QContextMenuEvent*>(e)->reason() == QContextMenuEvent::Keyboard) {
    // The menu key means the window's menu (the field keeps its own on the right button).
    const QPoint at = Txt_maxbid->mapTo(this, QPoint(0, Txt_maxbid->height()));
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, mapToGlobal(at));
    contextMenuEvent(&menu);
    return true;
  } else if (e->type() == QEvent::KeyRelease && watched == Txt_maxbid) {
    auto* k = static_cast<QKeyEvent*>(e);
    const int code = handlerKeyCode(k->key());
    // An Enter pressed in a dialog (the group dialog) is let go in the field once the dialog
    // has closed: only an Enter pressed in the field counts.
    if (code == 13 && !std::exchange(m_enterDownInAmount, false)) return false;
    if (!k->isAutoRepeat()) Txt_maxbid_KeyUp(code, handlerShift(k->modifiers()));
  }
  return QWidget::eventFilter(watched, e);
}
