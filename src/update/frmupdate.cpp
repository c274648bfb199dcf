#include "update/frmupdate.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>

#include "app/appstate.h"
#include "app/errortrap.h"
#include "app/logfile.h"
#include "app/placement.h"
#include "app/settings.h"
#include "app/twips.h"
#include "app/version.h"
#include "bidding/inet.h"
#include "bidding/transfer.h"
#include "platform/dialogs.h"
#include "platform/processes.h"
#include "platform/programinfo.h"
#include "platform/services.h"
#include "sniper/form1.h"
#include "sniper/widgets.h"
#include "update/handover.h"
#include "update/installedcopy.h"
#include "update/updaterules.h"

using namespace updaterules;

namespace {
// Files of several megabytes must not be cut off by the component's usual time-out.
const int kDownloadTimeoutMs = 10 * 60 * 1000;

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setFont(font);
  return l;
}

void removeIfPresent(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists() && !info.isSymLink()) return;
  if (!QFile::remove(path)) vberr::raise(vberr::kPermissionDenied);
}

[[noreturn]] void raiseFileError(const QFile& file) {
  vberr::raise(file.error() == QFileDevice::PermissionsError ? vberr::kPermissionDenied
                                                             : vberr::kPathFileAccess);
}

// Whether a new file can be put into the folder: tried, not read from the mode bits, which
// neither a read-only mount nor the superuser's rights show.
bool folderTakesNewFiles(const QString& folder) {
  QTemporaryFile probe(folder + QStringLiteral("/.gebotsfalkeplus-XXXXXX"));
  return probe.open();
}
}  // namespace

FrmUpdate::FrmUpdate(Form1& main) : QDialog(&main), m_main(main), m_ctx(main.ctx()) {
  setObjectName(QStringLiteral("FrmUpdate"));
  buildControls();
  connect(Btn_Update, &QPushButton::clicked, this, &FrmUpdate::Btn_Update_Click);
  connect(Timer1, &QTimer::timeout, this, &FrmUpdate::Timer1_Timer);
  connect(Inet2, &Inet::StateChanged, this, &FrmUpdate::Inet2_StateChanged);
}

FrmUpdate::~FrmUpdate() = default;

void FrmUpdate::buildControls() {
  setWindowTitle(QStringLiteral("Online Update"));
  // A fixed dialog frame: title and close button only.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(twips::toPixelsX(5400, this), twips::toPixelsY(2280, this));

  Label1 = makeLabel(this, "Label1", QString(),
                     designFont(QStringLiteral("Microsoft Sans Serif"), 9.75));
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  twips::setGeometry(Label1, 240, 240, 4920, 600);

  LblProgress = makeLabel(this, "LblProgress", QStringLiteral("0 %"),
                          designFont(QStringLiteral("Microsoft Sans Serif"), 12));
  twips::setGeometry(LblProgress, 240, 960, 2400, 375);

  Label2 =
      makeLabel(this, "Label2", QStringLiteral("I"), designFont(QStringLiteral("Arial"), 14.25));
  Label2->setAlignment(Qt::AlignCenter);
  twips::setGeometry(Label2, 4680, 900, 480, 450);

  Btn_Update = new QPushButton(QStringLiteral("Online Update jetzt starten"), this);
  Btn_Update->setObjectName(QStringLiteral("Btn_Update"));
  Btn_Update->setFont(designFont(QStringLiteral("Microsoft Sans Serif"), 8.25));
  // Enter starts the update as long as the button is shown; Escape closes the window.
  Btn_Update->setDefault(true);
  twips::setGeometry(Btn_Update, 240, 1560, 4920, 495);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(250);

  Inet2 = new Inet(this);
  Inet2->setObjectName(QStringLiteral("Inet2"));
  Inet2->setTimeoutMs(kDownloadTimeoutMs);
}

void FrmUpdate::Btn_Update_Click() {
  // The download begins by cancelling the main window's transfer, which a running bid
  // transaction needs to its end: the button does nothing until the bid is through.
  if (m_downloading || m_ctx.state.bidBusy) return;
  m_downloading = true;
  trap(m_ctx, "Btn_Update_Click", [&] { runDownload(); });
  m_downloading = false;
}

void FrmUpdate::runDownload() {
  AppState& st = m_ctx.state;
  Services& sv = m_ctx.services;

  st.DownloadLength = 0;
  if (sv.processes.previousInstance()) {
    sv.dialogs.messageBox(this, kOtherInstances, version::appTitle());
    return;
  }
  // An installed copy belongs to the package manager, which brings the new version.
  if (sv.programInfo.installedCopy()) {
    sv.dialogs.messageBox(this, kInstalledCopy, version::appTitle());
    return;
  }
  // The installer replaces the executable that runs, wherever it lies: where that cannot be
  // done, nothing is downloaded and the offered version stays on offer.
  const QString executable = sv.programInfo.executablePath();
  const QString executableFolder = QFileInfo(executable).absolutePath();
  if (!folderTakesNewFiles(executableFolder)) {
    sv.dialogs.messageBox(this, readOnlyProgramText(executableFolder), version::appTitle());
    return;
  }
  st.UpdateCancelled = false;
  WriteLog(m_ctx, QStringLiteral("Update: ") + version::full() + QStringLiteral(" -> ") +
                      st.AvailableVersion);

  const QString folder = sv.programInfo.programFolder();
  const QString dir = folderWithSeparator(folder);
  removeIfPresent(dir + kNewProgram);
  removeIfPresent(dir + kInstaller);

  Inet2->Cancel();
  m_main.Inet1->Cancel();

  LblProgress->setText(QStringLiteral("0 %"));
  Btn_Update->hide();
  Timer1->start();
  Label1->setText(kLoadingList);
  LblProgress->show();
  Label2->show();
  WriteLog(m_ctx, kLogStarted);

  const QString headers = requestHeaders(st.VersionText, st.InstallTag);
  m_main.Inet1->URL = st.endpoints.vendorServer + QStringLiteral("/files/filelist");
  runRequest(m_ctx, *m_main.Inet1, m_main.Inet1->URL, QStringLiteral("Get"), QString(), headers);

  // Before anything is written: the list counts only as the server's answer, and every name
  // in it must name a file directly in the program folder. An empty list, an empty line or a
  // name that leads elsewhere ends the download here.
  const QStringList names = splitFileList(st.ResponseText);
  if (m_main.Inet1->status() != 200 || !std::all_of(names.begin(), names.end(), isSafeFileName)) {
    reportIncomplete();
    return;
  }

  const int count = static_cast<int>(names.size());
  for (int i = 0; i < count; ++i) {
    Label1->setText(fileCaption(i + 1, count));
    LblProgress->show();
    Label2->show();
    st.DownloadTarget = dir + targetFileName(names[i]);

    Inet2->URL = st.endpoints.vendorServer + requestPath(names[i]);
    m_written = false;
    Inet2->Execute(Inet2->URL, QStringLiteral("Get"), QString(), headers);
    Inet2->waitWhileExecuting();
    if (!fileComplete()) {
      reportIncomplete();
      return;
    }
    LblProgress->setText(QStringLiteral("100%"));
    Pause(m_ctx, 2);
  }

  Label2->hide();
  Timer1->stop();
  Pause(m_ctx, 3);
  if (st.UpdateCancelled) {
    reportIncomplete();
    return;
  }
  // Without the installer there is nobody to hand over to: the offered version stays.
  const QString installer = dir + kInstaller;
  if (!QFileInfo(installer).isFile()) {
    reportIncomplete();
    return;
  }

  Label1->setText(kRestarting);
  LblProgress->hide();
  Pause(m_ctx, 3);
  // Closed during that last pause: the user no longer wants the restart.
  if (st.UpdateCancelled) {
    reportIncomplete();
    return;
  }
  WriteLog(m_ctx, kLogFinished);

  // The installer arrives as a plain file; it must be runnable before it is started.
  QFile installerFile(installer);
  StartResult start{StartFailure::NoRight, installerFile.errorString()};
  if (installerFile.setPermissions(installerFile.permissions() | QFileDevice::ExeOwner |
                                   QFileDevice::ExeUser | QFileDevice::ExeGroup |
                                   QFileDevice::ExeOther))
    start = sv.processes.startDetached(
        installer, {}, folder, {{QString::fromLatin1(handover::kProgramVariable), executable}});
  if (!start.started()) {
    // No restart follows: the window offers the update again, as before the download.
    Label1->setText(versionCaption(version::full(), st.AvailableVersion));
    Btn_Update->show();
    throw installerStartError(start);
  }

  // Only a running installer takes the offered version off the table. It waits for this
  // process to end before it touches the program.
  st.AvailableVersion.clear();
  m_ctx.settings.SaveSetting(settingskeys::kApp, settingskeys::kSection, QStringLiteral("Update"),
                             st.AvailableVersion);
  WriteLog(m_ctx, kLogInstallerCalled);
  WriteLog(m_ctx, kLogDone);
  sv.processes.exitNow(0);
}

void FrmUpdate::reportIncomplete() {
  WriteLog(m_ctx, kLogIncomplete);
}

bool FrmUpdate::fileComplete() const {
  const AppState& st = m_ctx.state;
  if (st.DownloadLength == 0) return false;
  // Only a file that this transfer wrote, from a 200 answer, as long as announced.
  if (!m_written || Inet2->status() != 200) return false;
  const QFileInfo info(st.DownloadTarget);
  return info.isFile() && info.size() == st.DownloadLength;
}

void FrmUpdate::Inet2_StateChanged(int state) {
  AppState& st = m_ctx.state;
  trap(m_ctx, "Inet2_StateChanged", [&] {
    if (state == Inet::kResponseReceived) {
      st.DownloadLength =
          regional::toInt32(Inet2->GetHeader(QStringLiteral("Content-Length")), st.region);
    } else if (state == Inet::kResponseCompleted) {
      // An error page is never written over a file of the program.
      if (Inet2->status() != 200) return;
      QFile file(st.DownloadTarget);
      if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) raiseFileError(file);
      QByteArray piece = Inet2->GetChunkBytes(1024);
      qint64 received = piece.size();
      LblProgress->setText(percentText(received, st.DownloadLength));
      QCoreApplication::processEvents();
      while (!piece.isEmpty()) {
        if (file.write(piece) != piece.size()) raiseFileError(file);
        piece = Inet2->GetChunkBytes(1024);
        received += piece.size();
        LblProgress->setText(percentText(received, st.DownloadLength));
      }
      if (!file.flush()) raiseFileError(file);
      file.close();
      m_written = true;
    }
  });
}

void FrmUpdate::Timer1_Timer() {
  Label2->setText(nextSpinner(Label2->text()));
}

void FrmUpdate::Form_Unload() {
  m_ctx.state.UpdateCancelled = true;
  Timer1->stop();
  Btn_Update->show();
  Label2->hide();
  Inet2->Cancel();
}

void FrmUpdate::done(int result) {
  Form_Unload();
  QDialog::done(result);
}

void FrmUpdate::closeEvent(QCloseEvent* e) {
  // A window that is not shown is not rejected by the dialog, so done() would not run.
  if (!isVisible()) Form_Unload();
  QDialog::closeEvent(e);
}
