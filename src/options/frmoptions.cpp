#include "options/frmoptions.h"

#include <QCursor>
#include <QGuiApplication>
#include <QProxyStyle>
#include <QScreen>

#include "app/appstate.h"
#include "app/errortrap.h"
#include "app/onscreen.h"
#include "app/savedpassword.h"
#include "app/settings.h"
#include "app/twips.h"
#include "app/version.h"
#include "app/widgets.h"
#include "options/ebayzugang.h"
#include "platform/dialogs.h"
#include "platform/services.h"

namespace {
const QColor kBackColor(255, 255, 239);
const QColor kButtonColor(224, 224, 224);

// Shows every character of a password box as "*", whatever the desktop style would draw.
class StarPasswordStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

// A fixed light background takes black text with it, whatever the desktop's theme.
void setBackground(QWidget* w, const QColor& c) {
  QPalette p = w->palette();
  p.setColor(QPalette::Window, c);
  p.setColor(QPalette::WindowText, Qt::black);
  w->setPalette(p);
  w->setAutoFillBackground(true);
}

template <class W>
W* make(QWidget* parent, const char* name, double left, double top, double width, double height) {
  auto* w = new W(parent);
  w->setObjectName(QString::fromLatin1(name));
  w->setFont(designFont(QStringLiteral("Microsoft Sans Serif"), 8.25));
  twips::setGeometry(w, left, top, width, height);
  return w;
}

QCheckBox* makeCheck(QWidget* parent, const char* name, const QString& text, double left,
                     double top, double width, double height) {
  auto* c = make<QCheckBox>(parent, name, left, top, width, height);
  c->setText(text);
  // A button paints its own background in the button colour; the check boxes take the window's.
  c->setBackgroundRole(QPalette::Window);
  setBackground(c, kBackColor);
  fitTextToWidth(c);
  return c;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, double left, double top,
                  double width, double height) {
  auto* l = make<QLabel>(parent, name, left, top, width, height);
  l->setText(text);
  l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  fitTextToWidth(l);
  return l;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, double left,
                        double top, double width, double height) {
  auto* b = make<QPushButton>(parent, name, left, top, width, height);
  b->setText(text);
  QPalette p = b->palette();
  p.setColor(QPalette::Button, kButtonColor);
  p.setColor(QPalette::ButtonText, Qt::black);
  b->setPalette(p);
  return b;
}

void save(AppContext& ctx, const QString& key, const QString& value) {
  // A store that cannot be written must not look like saved options.
  if (!ctx.settings.SaveSetting(settingskeys::kApp, settingskeys::kSection, key, value))
    vberr::raise(vberr::kPathFileAccess);
}
}  // namespace

qint16 checkValue(const QCheckBox* box) {
  switch (box->checkState()) {
    case Qt::Checked:
      return 1;
    case Qt::PartiallyChecked:
      return 2;
    default:
      return 0;
  }
}

void setCheckValue(QCheckBox* box, qint16 value) {
  switch (value) {
    case 0:
      box->setCheckState(Qt::Unchecked);
      break;
    case 1:
      box->setCheckState(Qt::Checked);
      break;
    case 2:
      box->setCheckState(Qt::PartiallyChecked);
      break;
    default:
      vberr::raise(vberr::kInvalidProperty);
  }
}

frmOptions::frmOptions(AppContext& ctx, QWidget* owner) : QDialog(owner), m_ctx(ctx) {
  setObjectName(QStringLiteral("frmOptions"));
  buildControls();
  connect(cmdOK, &QPushButton::clicked, this, &frmOptions::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmOptions::cmdCancel_Click);
  connect(cmdEbayZugang, &QPushButton::clicked, this, [this] {
    EbayZugang dialog(m_ctx, this);
    m_ctx.services.dialogs.exec(dialog);
  });
  Form_Load();
}

void frmOptions::buildControls() {
  setWindowTitle(QStringLiteral("Optionen"));
  // A fixed dialog: title and close button only.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFont(designFont(QStringLiteral("Microsoft Sans Serif"), 8.25));
  setFixedSize(twips::toPixelsX(3780, this), twips::toPixelsY(3720, this));
  setBackground(this, kBackColor);

  Check_msgonsync =
      makeCheck(this, "Check_msgonsync",
                QStringLiteral("nach Uhrzeitsynchronisation Meldung zeigen"), 120, 120, 3615, 495);
  Check_synconstart =
      makeCheck(this, "Check_synconstart",
                QStringLiteral("bei jedem Programmstart Uhr synchronisieren"), 120, 600, 3615, 495);
  Check_Warnton = makeCheck(this, "Check_Warnton", QStringLiteral("Warnton nach Gebotsabgabe"), 120,
                            1080, 3615, 495);
  Txt_user = make<QLineEdit>(this, "Txt_user", 120, 1680, 1575, 285);
  Txt_Pass = make<QLineEdit>(this, "Txt_Pass", 1920, 1680, 1575, 285);
  auto* stars = new StarPasswordStyle;
  stars->setParent(this);
  Txt_Pass->setStyle(stars);
  Txt_Pass->setEchoMode(QLineEdit::Password);
  Label1 = makeLabel(this, "Label1", QStringLiteral("eBay Name"), 120, 2040, 1215, 255);
  Label2 = makeLabel(this, "Label2", QStringLiteral("Passwort"), 1920, 2040, 1455, 255);
  Check_saveuser =
      makeCheck(this, "Check_saveuser", QStringLiteral("Passwort speichern"), 120, 2280, 3255, 375);
  Txt_sectobid = make<QLineEdit>(this, "Txt_sectobid", 120, 2760, 495, 285);
  Label4 =
      makeLabel(this, "Label4", QStringLiteral("Sekunden vor Ende bieten"), 840, 2760, 2415, 255);
  // The labels name their fields for assistive technology.
  Label1->setBuddy(Txt_user);
  Label2->setBuddy(Txt_Pass);
  Label4->setBuddy(Txt_sectobid);
  cmdOK = makeButton(this, "cmdOK", QStringLiteral("OK"), 705, 3135, 1095, 375);
  cmdCancel = makeButton(this, "cmdCancel", QStringLiteral("Abbrechen"), 1935, 3135, 1095, 375);
  cmdEbayZugang =
      makeButton(this, "cmdEbayZugang", QStringLiteral("eBay-Zugang…"), 2040, 2280, 1620, 375);

  // Tab order of the design: OK first, then top to bottom, "Abbrechen" last.
  QWidget* order[] = {cmdOK,    Check_msgonsync, Check_synconstart, Check_Warnton, Txt_user,
                      Txt_Pass, Check_saveuser,  Txt_sectobid,      cmdCancel,     cmdEbayZugang};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
  cmdOK->setFocus();
  // Enter in any field is "OK", Escape "Abbrechen" (the dialog's own reject). Without a default
  // named here Qt takes the first button after the focused one, "Abbrechen", and Enter typed
  // after the password would throw the account away.
  cmdOK->setDefault(true);
}

void frmOptions::Form_Load() {
  AppState& st = m_ctx.state;
  trap(m_ctx, "Form_Load(Opt)", [&] {
    setWindowTitle(QStringLiteral("Optionen  -  GebotsfalkePlus ") + version::full());
    placeNearCursor();
    setCheckValue(Check_msgonsync, st.msgonsync);
    setCheckValue(Check_synconstart, st.synconstart);
    setCheckValue(Check_Warnton, st.warnton);
    setCheckValue(Check_saveuser, st.saveuser);
    Txt_user->setText(st.user);
    Txt_Pass->setText(st.pass);
    Txt_sectobid->setText(st.sectobid);
  });
}

void frmOptions::placeNearCursor() {
  const QPoint cursor = QCursor::pos();
  const QPoint wanted =
      optionrules::cursorRelativePosition(cursor, twips::perPixelX(this), twips::perPixelY(this));
  // The window manager's frame around the dialog: as around the owner when it is shown.
  QSize frame = size() + QSize(8, 32);
  if (QWidget* owner = parentWidget(); owner && owner->isVisible())
    frame = size() + (owner->frameGeometry().size() - owner->size());
  const QScreen* screen = QGuiApplication::screenAt(cursor);
  if (!screen) screen = QGuiApplication::primaryScreen();
  // Off the screen the dialog could not be seen, let alone confirmed.
  move(screen ? onscreen::keepOnScreen(QRect(wanted, frame), screen->availableGeometry()) : wanted);
}

optionrules::Values frmOptions::controlValues() const {
  optionrules::Values v;
  v.msgonsync = checkValue(Check_msgonsync);
  v.synconstart = checkValue(Check_synconstart);
  v.warnton = checkValue(Check_Warnton);
  v.saveuser = checkValue(Check_saveuser);
  v.user = Txt_user->text();
  v.pass = Txt_Pass->text();
  v.sectobid = Txt_sectobid->text();
  return v;
}

void frmOptions::cmdOK_Click() {
  AppState& st = m_ctx.state;
  trap(m_ctx, "cmdOK_Click(opt)", [&] {
    const optionrules::Values v = controlValues();
    // Checked before anything is taken over: the user corrects the value and presses OK again,
    // or cancels and keeps what was there.
    const QStringList faults = optionrules::faults(v, st.armed, st.region);
    if (!faults.isEmpty()) {
      m_ctx.services.dialogs.infoBox(this, optionrules::faultMessage(faults), version::appTitle());
      return;
    }
    st.msgonsync = v.msgonsync;
    st.synconstart = v.synconstart;
    st.warnton = v.warnton;
    st.saveuser = v.saveuser;
    st.user = v.user;
    st.pass = v.pass;
    st.sectobid = v.sectobid;

    save(m_ctx, QStringLiteral("msgonsync"), QString::number(st.msgonsync));
    save(m_ctx, QStringLiteral("synconstart"), QString::number(st.synconstart));
    save(m_ctx, QStringLiteral("warnton"), QString::number(st.warnton));
    save(m_ctx, QStringLiteral("saveuser"), QString::number(st.saveuser));
    if (st.saveuser == 1) {
      save(m_ctx, QStringLiteral("user"), st.user);
      save(m_ctx, QStringLiteral("pass"), savedpassword::settingFor(m_ctx, st.pass, true));
    } else {
      // Not kept on disk; this run still bids with them.
      save(m_ctx, QStringLiteral("user"), QString());
      save(m_ctx, QStringLiteral("pass"), savedpassword::settingFor(m_ctx, st.pass, false));
    }
    save(m_ctx, QStringLiteral("sectobid"), st.sectobid);
    accept();
  });
}

void frmOptions::cmdCancel_Click() {
  trap(m_ctx, "cmdCancel_Click(opt)", [&] { reject(); });
}
