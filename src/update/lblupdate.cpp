// The update label of the main window opens the update window.
#include "app/appstate.h"
#include "app/version.h"
#include "platform/dialogs.h"
#include "platform/services.h"
#include "sniper/form1.h"
#include "update/frmupdate.h"
#include "update/updaterules.h"

void Form1::Lbl_update_Click() {
  FrmUpdate dlg(*this);
  dlg.LblProgress->hide();
  dlg.Label2->hide();
  dlg.Btn_Update->show();
  dlg.Btn_Update->repaint();
  dlg.Label1->setText(updaterules::versionCaption(version::full(), ctx().state.AvailableVersion));
  // Modal, owned by the main window; returns when the update window is closed. A finished
  // download does not return: the process ends after starting the installer.
  ctx().services.dialogs.exec(dlg);
}
