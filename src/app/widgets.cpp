#include "app/widgets.h"

#include <QCursor>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

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

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) {
  setMouseTracking(true);
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
