// Opening the options dialog from the main window.
#include "options/frmoptions.h"
#include "platform/dialogs.h"
#include "platform/services.h"
#include "sniper/form1.h"

void Form1::showOptionsDialog() {
  frmOptions dialog(ctx(), this);
  ctx().services.dialogs.exec(dialog);
}
