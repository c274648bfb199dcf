#include "sniper/groupdialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

GroupDialog::GroupDialog(const QString& group, int limit, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("GroupDialog"));
  setWindowTitle(QStringLiteral("Gruppe"));
  // Light fields and background with black text, whatever the desktop's theme (as the options
  // dialog): a dark palette would otherwise put light text on them.
  QPalette p = palette();
  p.setColor(QPalette::Window, QColor(224, 224, 224));
  p.setColor(QPalette::WindowText, Qt::black);
  p.setColor(QPalette::Base, Qt::white);
  p.setColor(QPalette::Text, Qt::black);
  p.setColor(QPalette::Button, QColor(224, 224, 224));
  p.setColor(QPalette::ButtonText, Qt::black);
  p.setColor(QPalette::Highlight, QColor(0, 0, 128));
  p.setColor(QPalette::HighlightedText, Qt::white);
  setPalette(p);
  setAutoFillBackground(true);

  m_group = new QLineEdit(group, this);
  m_group->setObjectName(QStringLiteral("Txt_gruppe"));
  m_group->setPlaceholderText(QStringLiteral("keine Gruppe"));
  m_group->setMaxLength(80);
  m_limit = new QSpinBox(this);
  m_limit->setObjectName(QStringLiteral("Spin_hoechstens"));
  m_limit->setRange(1, 99);
  m_limit->setValue(limit);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Gruppe:"), m_group);
  form->addRow(QStringLiteral("&höchstens gewinnen:"), m_limit);
  auto* note = new QLabel(QStringLiteral("Fenster derselben Gruppe bieten nicht mehr,\n"
                                         "sobald so viele ihrer Artikel gewonnen sind."),
                          this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(note);
  layout->addWidget(buttons);
  m_group->setFocus();
  m_group->selectAll();
}

QString GroupDialog::group() const {
  return m_group->text().trimmed();
}

int GroupDialog::limit() const {
  return m_limit->value();
}
