#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/context.h"
#include "options/optionrules.h"

// The options dialog: the eBay account, the seconds before the end at which the bid is
// placed, the warning tone and the clock-synchronisation switches. It edits the working values
// and stores them when the user confirms; cancelling or closing the window changes nothing.
// Shown modally over the main window: frmOptions dlg(ctx, &form); dialogs.exec(dlg);
class frmOptions : public QDialog {
  Q_OBJECT

 public:
  // Builds the window and loads it (caption, position next to the cursor, the working values).
  frmOptions(AppContext& ctx, QWidget* owner);

  void Form_Load();
  void cmdOK_Click();
  void cmdCancel_Click();

  // The values the controls hold now.
  optionrules::Values controlValues() const;

  // Controls, named as in the design.
  QCheckBox* Check_msgonsync;
  QCheckBox* Check_synconstart;
  QCheckBox* Check_Warnton;
  QLineEdit* Txt_user;
  QLineEdit* Txt_Pass;
  QLabel* Label1;
  QLabel* Label2;
  QCheckBox* Check_saveuser;
  QLineEdit* Txt_sectobid;
  QLabel* Label4;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;
  QPushButton* cmdEbayZugang;  // opens the eBay-Zugang dialog

 private:
  void buildControls();
  void placeNearCursor();

  AppContext& m_ctx;
};

// A check box value as the program keeps it: 0 unchecked, 1 checked, 2 greyed.
qint16 checkValue(const QCheckBox* box);
// Error 380 for any value other than 0, 1 and 2.
void setCheckValue(QCheckBox* box, qint16 value);
