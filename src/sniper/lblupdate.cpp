// The main window's update mark: shown when a newer version is offered, it opens the update
// window.
#include "app/appstate.h"
#include "app/settings.h"
#include "app/version.h"
#include "platform/dialogs.h"
#include "platform/programinfo.h"
#include "platform/services.h"
#include "sniper/form1.h"
#include "update/frmupdate.h"
#include "update/installedcopy.h"

bool Form1::offersUpdate() {
  // A copy installed from the package cannot install the offered version itself.
  return !ctx().state.AvailableVersion.isEmpty() && !ctx().services.programInfo.installedCopy();
}

void Form1::showUpdateMark() {
  AppState& st = ctx().state;
  if (ctx().services.programInfo.installedCopy()) {
    // No mark that leads nowhere: that a newer version is out is said once, with where it
    // comes from. The store still holds the version the last check found (this one saves its
    // finding after telling the window), also from an earlier run.
    const QString known = ctx().settings.GetSetting(settingskeys::kApp, settingskeys::kSection,
                                                    QStringLiteral("Update"));
    if (known == st.AvailableVersion) return;
    ctx().services.dialogs.errorBox(
        updaterules::newerVersionForPackage(st.AvailableVersion, version::full()),
        version::appTitle());
    return;
  }
  setCustomPointer(Lbl_update, true);
  Lbl_update->show();
}

void Form1::Lbl_update_Click() {
  FrmUpdate dlg(ctx(), this);
  // Modal, owned by the main window; returns when the update window is closed. A finished
  // download does not return: the process ends after starting the installer.
  ctx().services.dialogs.exec(dlg);
}
