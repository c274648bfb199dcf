#include "app/widgets.h"

#include <QAccessibleWidget>
#include <QCursor>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

ShapeWidget::ShapeWidget(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ShapeWidget::setFillColor(const QColor& c) {
  m_fill = c;
  update();
}

void ShapeWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), m_fill);
  p.setPen(Qt::black);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

namespace {
// What assistive technology (AT-SPI) sees of a link label: its role, its text as its name, its
// tooltip as its description, and the "press" action that clicks it.
class LinkLabelAccessible : public QAccessibleWidget {
 public:
  explicit LinkLabelAccessible(LinkLabel* label)
      : QAccessibleWidget(label, label->accessibleRole()) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name && label()->accessibleName().isEmpty()) return label()->text();
    return QAccessibleWidget::text(t);
  }
  QStringList actionNames() const override {
    return QStringList(pressAction()) + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& action) override {
    if (action == pressAction())
      label()->activate();
    else
      QAccessibleWidget::doAction(action);
  }
  QStringList keyBindingsForAction(const QString& action) const override {
    if (action == pressAction()) return {QStringLiteral("Return"), QStringLiteral("Space")};
    return QAccessibleWidget::keyBindingsForAction(action);
  }

 private:
  LinkLabel* label() const { return static_cast<LinkLabel*>(widget()); }
};

QAccessibleInterface* linkLabelAccessible(const QString& className, QObject* object) {
  if (className == QLatin1String("LinkLabel") && object && object->isWidgetType())
    return new LinkLabelAccessible(static_cast<LinkLabel*>(object));
  return nullptr;
}
}  // namespace

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) {
  static const bool accessible = (QAccessible::installFactory(linkLabelAccessible), true);
  Q_UNUSED(accessible);
  setMouseTracking(true);
  // Tab reaches it; a click does not take the focus from the amount field.
  setFocusPolicy(Qt::TabFocus);
}

QColor LinkLabel::foreColor() const {
  return labelForeColor(this);
}

void LinkLabel::setForeColor(const QColor& c) {
  setLabelForeColor(this, c);
}

void LinkLabel::setUnderlined(bool on) {
  QFont f = font();
  f.setUnderline(on);
  setFont(f);
}

void LinkLabel::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) m_pressed = true;
  QLabel::mousePressEvent(e);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* e) {
  const bool click = m_pressed && e->button() == Qt::LeftButton && rect().contains(e->pos());
  m_pressed = false;
  QLabel::mouseReleaseEvent(e);
  if (click) emit clicked();
}

void LinkLabel::mouseMoveEvent(QMouseEvent* e) {
  // Accepted here: passed on, the window behind would restore the look at once.
  e->accept();
  emit mouseMoved();
}

void LinkLabel::keyPressEvent(QKeyEvent* e) {
  const bool activates =
      e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Space;
  if (activates && (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    e->accept();
    if (!e->isAutoRepeat()) activate();
    return;
  }
  // Anything else goes on to the window (Ctrl+F9, Ctrl+F5).
  QLabel::keyPressEvent(e);
}

void LinkLabel::paintEvent(QPaintEvent* e) {
  QLabel::paintEvent(e);
  if (!hasFocus()) return;
  // A dotted frame in the text's colour around the text, inside the label.
  const QFontMetrics fm(font());
  const QSize textSize(fm.horizontalAdvance(text()) + 2, fm.height());
  const QRect textRect =
      QStyle::alignedRect(layoutDirection(), alignment(), textSize, contentsRect());
  QPainter p(this);
  p.setPen(QPen(foreColor(), 1, Qt::DotLine));
  p.drawRect(textRect.intersected(rect()).adjusted(0, 0, -1, -1));
}

void setLabelForeColor(QLabel* label, const QColor& c) {
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, c);
  label->setPalette(pal);
}

QColor labelForeColor(const QLabel* label) {
  return label->palette().color(QPalette::WindowText);
}

void setCustomPointer(QWidget* w, bool custom) {
  static const QCursor hand(QPixmap(QStringLiteral(":/linkhand.png")), 6, 1);
  if (custom) {
    w->setCursor(hand);
    w->setProperty("customPointer", true);
  } else {
    w->setCursor(Qt::ArrowCursor);
    w->setProperty("customPointer", false);
  }
}

bool hasCustomPointer(const QWidget* w) {
  return w->property("customPointer").toBool();
}

namespace {
constexpr int kTightestSpacing = 88;

int widestLine(const QLabel* label) {
  const QFontMetrics fm(label->font());
  int widest = 0;
  for (const QString& line : label->text().split(QChar('\n')))
    widest = std::max(widest, fm.horizontalAdvance(QString(line).remove(QChar('\r'))));
  return widest;
}
}  // namespace

void fitTextToWidth(QWidget* w) {
  QFont f = w->font();
  for (int spacing = 99; w->sizeHint().width() > w->width() && spacing >= kTightestSpacing;
       --spacing) {
    f.setLetterSpacing(QFont::PercentageSpacing, spacing);
    w->setFont(f);
  }
  // Still too wide (a desktop without the design's font, whose stand-in is wider): a smaller
  // size, down to three quarters, rather than a text cut off.
  const double designSize = f.pointSizeF();
  while (w->sizeHint().width() > w->width() && f.pointSizeF() - 0.25 >= designSize * 0.75) {
    f.setPointSizeF(f.pointSizeF() - 0.25);
    w->setFont(f);
  }
}

void fitLinkToWidth(QLabel* label, int leftmost) {
  const int needed = label->sizeHint().width();
  if (needed > label->width()) {
    const int right = label->geometry().right();
    const int left = std::max(leftmost, right - needed + 1);
    label->setGeometry(left, label->y(), right - left + 1, label->height());
  }
  fitTextToWidth(label);
}

void fitLinesToWidth(QLabel* label) {
  QFont f = label->font();
  f.setLetterSpacing(QFont::PercentageSpacing, 100);
  label->setFont(f);
  for (int spacing = 99; widestLine(label) > label->width() - 2 && spacing >= kTightestSpacing;
       --spacing) {
    f.setLetterSpacing(QFont::PercentageSpacing, spacing);
    label->setFont(f);
  }
}

QFont designFont(const QString& family, double pointSize, bool bold) {
  QFont f(family == QLatin1String("Arial") || family == QLatin1String("Microsoft Sans Serif")
              ? QStringLiteral("Liberation Sans")
              : family);
  f.setPointSizeF(pointSize);
  f.setBold(bold);
  return f;
}
