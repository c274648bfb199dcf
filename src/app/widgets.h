#pragma once

#include <QAccessible>
#include <QColor>
#include <QLabel>
#include <QWidget>

// A filled rectangle with a thin black border, like the design's shapes. It lets mouse
// movement through to the window behind it.
class ShapeWidget : public QWidget {
  Q_OBJECT
 public:
  explicit ShapeWidget(QWidget* parent = nullptr);
  void setFillColor(const QColor& c);
  QColor fillColor() const { return m_fill; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QColor m_fill = Qt::white;
};

// A label that acts as a link: it reports clicks and mouse movement, Tab reaches it (a dotted
// frame around its text shows the focus), Enter and Space activate it, and assistive technology
// sees a link or button by its text with a "press" action.
class LinkLabel : public QLabel {
  Q_OBJECT
 public:
  explicit LinkLabel(QWidget* parent = nullptr);
  QColor foreColor() const;
  void setForeColor(const QColor& c);
  bool underlined() const { return font().underline(); }
  void setUnderlined(bool on);
  // Link (the default) for a label that opens a page, Button for one that runs a command.
  void setAccessibleRole(QAccessible::Role role) { m_role = role; }
  QAccessible::Role accessibleRole() const { return m_role; }
  // As a click: from the keyboard and from assistive technology.
  void activate() { emit clicked(); }

 signals:
  void clicked();
  void mouseMoved();

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  bool m_pressed = false;
  QAccessible::Role m_role = QAccessible::Link;
};

// Sets the text colour of any label.
void setLabelForeColor(QLabel* label, const QColor& c);
QColor labelForeColor(const QLabel* label);

// The link labels' own cursor (the bundled hand image) or the standard arrow.
void setCustomPointer(QWidget* w, bool custom);
bool hasCustomPointer(const QWidget* w);

// The design's texts were measured in a narrower font than the one that stands in for it here:
// where a text would be cut, its letters move a little closer together (down to 88 %).
void fitTextToWidth(QWidget* w);
// For a right-aligned label: first it grows to the left, up to `leftmost`, then as above.
void fitLinkToWidth(QLabel* label, int leftmost);
// The same for a label's lines of text against the label's width.
void fitLinesToWidth(QLabel* label);

// A design font: "Arial" and "Microsoft Sans Serif" come out as the metric-compatible
// Liberation Sans.
QFont designFont(const QString& family, double pointSize, bool bold = false);
