// The main window's update mark: shown when a newer version is offered, it opens the update
// window.
#include "platform/dialogs.h"
#include "platform/services.h"
#include "sniper/form1.h"
#include "update/frmupdate.h"

void Form1::showUpdateMark() {
  setCustomPointer(Lbl_update, true);
  Lbl_update->show();
}

void Form1::Lbl_update_Click() {
  FrmUpdate dlg(ctx(), this);
  // Modal, owned by the main window; returns when the update window is closed. A finished
  // download does not return: the process ends after starting the installer.
  ctx().services.dialogs.exec(dlg);
}
