#pragma once

#include <QDialog>

class QLineEdit;
class QSpinBox;

// "Gruppe …": the bid group of the window's item (free text, empty for none) and how many of
// the group's items may be won at most. Works with the keyboard alone: Enter confirms, Escape
// cancels, Alt+G and Alt+H reach the fields.
class GroupDialog : public QDialog {
  Q_OBJECT

 public:
  GroupDialog(const QString& group, int limit, QWidget* parent = nullptr);
  QString group() const;
  int limit() const;

 private:
  QLineEdit* m_group;
  QSpinBox* m_limit;
};
