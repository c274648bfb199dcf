// Opening the options dialog from the main window.
#include <QDialog>

#include "platform/dialogs.h"
#include "platform/services.h"
#include "sniper/form1.h"

void Form1::showOptionsDialog() {
  QDialog dialog(this);
  dialog.setObjectName(QStringLiteral("frmOptions"));
  ctx().services.dialogs.exec(dialog);
}
