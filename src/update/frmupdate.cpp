#include "update/frmupdate.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include "app/appstate.h"
#include "app/errortrap.h"
#include "app/filewrite.h"
#include "app/logfile.h"
#include "app/placement.h"
#include "app/settings.h"
#include "app/twips.h"
#include "app/version.h"
#include "app/widgets.h"
#include "bidding/inet.h"
#include "bidding/transfer.h"
#include "platform/dialogs.h"
#include "platform/processes.h"
#include "platform/programinfo.h"
#include "platform/services.h"
#include "update/handover.h"
#include "update/installedcopy.h"
#include "update/signedrelease.h"
#include "update/staging.h"
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

// Whether a new file can be put into the folder: tried, not read from the mode bits, which
// neither a read-only mount nor the superuser's rights show.
bool folderTakesNewFiles(const QString& folder) {
  QTemporaryFile probe(folder + QStringLiteral("/.gebotsfalkeplus-XXXXXX"));
  return probe.open();
}
}  // namespace

FrmUpdate::FrmUpdate(AppContext& ctx, QWidget* owner) : QDialog(owner), m_ctx(ctx) {
  setObjectName(QStringLiteral("FrmUpdate"));
  buildControls();
  // It opens offering the update: the versions and the button, no progress.
  LblProgress->hide();
  Label2->hide();
  Label1->setText(versionCaption(version::full(), m_ctx.state.AvailableVersion));
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
  // Two lines for the versions and the progress; a failure's message takes up to five, down to
  // the button, over the hidden percentage and spinner.
  Label1->setWordWrap(true);
  twips::setGeometry(Label1, 240, 240, 4920, 1260);

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
  // The download begins by cancelling Inet1, which a running bid transaction needs to its end:
  // the button does nothing until the bid is through.
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

  Inet2->Cancel();
  m_ctx.inet1.Cancel();

  LblProgress->setText(QStringLiteral("0 %"));
  Btn_Update->hide();
  Timer1->start();
  Label1->setText(kLoadingList);
  LblProgress->show();
  Label2->show();
  WriteLog(m_ctx, kLogStarted);

  UpdateStaging::removeLeftovers(folder);
  std::optional<UpdateStaging> staging;
  QList<Planned> plan;
  if (const auto failure = fetchRelease(staging, plan)) return showFailure(*failure);

  Label2->hide();
  Timer1->stop();
  Pause(m_ctx, 3);
  if (st.UpdateCancelled) return showFailure(Failure::closed());

  Label1->setText(kRestarting);
  LblProgress->hide();
  Pause(m_ctx, 3);
  // Closed during that last pause: the user no longer wants the restart.
  if (st.UpdateCancelled) return showFailure(Failure::closed());
  if (const auto failure = putInPlace(*staging, plan)) return showFailure(*failure);
  staging.reset();  // with the files it replaced: the process ends without clearing up
  WriteLog(m_ctx, kLogFinished);

  const QString installer = dir + kInstaller;
  const StartResult start = sv.processes.startDetached(
      installer, {}, folder, {{QString::fromLatin1(handover::kProgramVariable), executable}});
  if (!start.started()) {
    // No restart follows: the window offers the update again, as before the download.
    Label1->setText(versionCaption(version::full(), st.AvailableVersion));
    Btn_Update->show();
    throw installerStartError(start);
  }

  // Only a running installer takes the offered version off the table (it waits for this
  // process to end before it touches the program).
  st.AvailableVersion.clear();
  m_ctx.settings.SaveSetting(settingskeys::kApp, settingskeys::kSection, QStringLiteral("Update"),
                             st.AvailableVersion);
  WriteLog(m_ctx, kLogInstallerCalled);
  WriteLog(m_ctx, kLogDone);
  sv.processes.exitNow(0);
}

std::optional<FrmUpdate::Failure> FrmUpdate::fetchRelease(std::optional<UpdateStaging>& staging,
                                                          QList<Planned>& plan) {
  AppState& st = m_ctx.state;
  const QString folder = m_ctx.services.programInfo.programFolder();
  const Failure closed = Failure::closed();

  // The file list comes through Inet1, as it always has.
  Inet& inet1 = m_ctx.inet1;
  inet1.URL = st.endpoints.vendorServer + QStringLiteral("/files/filelist");
  {
    // Inet1 takes any body again afterwards, also after an error.
    struct ListRequest {
      Inet& inet;
      bool& running;
      ~ListRequest() {
        running = false;
        inet.setBodyLimit(-1);
      }
    } request{inet1, m_listRunning};
    inet1.setBodyLimit(signedrelease::kMaxListBytes);
    m_listRunning = true;
    runRequest(m_ctx, inet1, inet1.URL, QStringLiteral("Get"), QString(),
               requestHeaders(st.VersionText, st.InstallTag), {m_silenceMs, 0});
  }
  if (st.UpdateCancelled) return closed;
  if (inet1.ended() == TransferEnd::Silent)
    return silentTransfer(QStringLiteral("Die Dateiliste"), m_silenceMs);
  if (auto f = transferFailure(inet1.status(), inet1.bodyTooLong(),
                               QStringLiteral("Die Dateiliste"), UpdatePart::FileList))
    return f;
  const QStringList names = splitFileList(st.ResponseText);
  if (auto f =
          releaseplan::checkListedNames(names, folder, m_ctx.settings.filePath(settingskeys::kApp)))
    return f;

  // The vendor's signature decides whether anything of this update is taken.
  QByteArray manifest, signature;
  if (auto f =
          fetchDescription(QStringLiteral("manifest"), QStringLiteral("Die Prüfliste (manifest)"),
                           signedrelease::kMaxManifestBytes, manifest))
    return f;
  if (auto f = fetchDescription(QStringLiteral("manifest.sig"),
                                QStringLiteral("Die Signatur (manifest.sig)"),
                                signedrelease::kMaxSignatureBytes, signature))
    return f;
  if (!signedrelease::signatureValid(manifest, signature,
                                     signedrelease::trustedKeys(st.endpoints.vendorKey)))
    return Failure{Failure::NotVerified,
                   QStringLiteral("Die Signatur (manifest.sig) ist ungültig oder stammt nicht "
                                  "vom Hersteller.")};
  int badLine = 0;
  const auto release = signedrelease::parseManifest(manifest, &badLine);
  if (!release)
    return Failure{
        Failure::NotVerified,
        QStringLiteral("Die Prüfliste (manifest) ist in Zeile %1 fehlerhaft.").arg(badLine)};
  if (auto f =
          releaseplan::checkSignedVersion(release->version, st.AvailableVersion, version::full()))
    return f;
  if (auto f = releaseplan::planFiles(names, release->entries, plan)) return f;

  staging.emplace(folder);
  if (!staging->isValid())
    return Failure{Failure::NotInstalled,
                   QStringLiteral("Im Programmordner kann kein Ordner für den Download angelegt "
                                  "werden: ") +
                       staging->errorString()};
  const int count = static_cast<int>(plan.size());
  for (int i = 0; i < count; ++i) {
    Label1->setText(fileCaption(i + 1, count));
    LblProgress->show();
    Label2->show();
    if (auto f = fetchFile(plan[i], *staging)) return f;
    LblProgress->setText(QStringLiteral("100%"));
    Pause(m_ctx, 2);
    if (st.UpdateCancelled) return closed;
  }
  return std::nullopt;
}

std::optional<FrmUpdate::Failure> FrmUpdate::fetchDescription(const QString& name,
                                                              const QString& what, qint64 limit,
                                                              QByteArray& body) {
  AppState& st = m_ctx.state;
  st.DownloadTarget.clear();  // kept in memory, not written
  Inet2->URL = st.endpoints.vendorServer + QStringLiteral("/files/") + name;
  Inet2->setBodyLimit(limit);
  Inet2->Execute(Inet2->URL, QStringLiteral("Get"), QString(),
                 requestHeaders(st.VersionText, st.InstallTag), {m_silenceMs, 0});
  Inet2->waitWhileExecuting();
  if (st.UpdateCancelled) return Failure::closed();
  if (Inet2->ended() == TransferEnd::Silent) return silentTransfer(what, m_silenceMs);
  if (auto f = transferFailure(Inet2->status(), Inet2->bodyTooLong(), what, UpdatePart::Signature))
    return f;
  body = Inet2->GetChunkBytes(static_cast<int>(limit));
  return std::nullopt;
}

std::optional<FrmUpdate::Failure> FrmUpdate::fetchFile(const Planned& file,
                                                       const UpdateStaging& staging) {
  AppState& st = m_ctx.state;
  const QString what = QStringLiteral("Die Datei ") + quotedName(file.name);
  st.DownloadTarget = staging.pathFor(file.target);
  st.DownloadLength = static_cast<qint32>(file.size);  // at most kMaxFileBytes
  Inet2->URL = st.endpoints.vendorServer + requestPath(file.name);
  // Nothing beyond the signed size is taken, however much the server announces or sends.
  Inet2->setBodyLimit(file.size);
  m_written = false;
  m_writeError.clear();
  Inet2->Execute(Inet2->URL, QStringLiteral("Get"), QString(),
                 requestHeaders(st.VersionText, st.InstallTag), {m_silenceMs, 0});
  Inet2->waitWhileExecuting();
  if (st.UpdateCancelled) return Failure::closed();
  // A file that stopped coming ends the download after a silence, with the offer to try again.
  if (Inet2->ended() == TransferEnd::Silent) return silentTransfer(what, m_silenceMs);
  // A transfer that did not complete counts as unanswered, whatever its header said.
  const int status = Inet2->ended() == TransferEnd::Completed ? Inet2->status() : 0;
  if (auto f = transferFailure(status, Inet2->bodyTooLong(), what, UpdatePart::File)) return f;
  if (!m_written)
    return Failure{
        Failure::NotInstalled,
        what + QStringLiteral(" konnte nicht gespeichert werden: ") + m_writeError + QChar('.')};
  return releaseplan::checkDownloadedFile(file, st.DownloadTarget);
}

std::optional<FrmUpdate::Failure> FrmUpdate::putInPlace(UpdateStaging& staging,
                                                        const QList<Planned>& plan) {
  // The installer is runnable the moment it is in place.
  QFile installer(staging.pathFor(kInstaller));
  if (!installer.setPermissions(installer.permissions() | QFileDevice::ExeOwner |
                                QFileDevice::ExeUser | QFileDevice::ExeGroup |
                                QFileDevice::ExeOther))
    return Failure{
        Failure::NotInstalled,
        kInstaller + QStringLiteral(" kann nicht ausführbar werden: ") + installer.errorString()};
  QStringList targets;
  for (const Planned& file : plan) targets.append(file.target);
  // A new program from an earlier download must not be installed with this update.
  const auto outcome = staging.commit(targets, {kNewProgram});
  if (outcome.done) return std::nullopt;
  Failure failure{Failure::NotInstalled, quotedName(outcome.failedTarget) +
                                             QStringLiteral(" konnte nicht ersetzt werden: ") +
                                             outcome.reason + QChar('.')};
  if (!outcome.restored) {
    failure.detail += QStringLiteral(" Nicht alle vorigen Dateien konnten zurückgelegt werden.");
    failure.filesUnchanged = false;
  }
  return failure;
}

void FrmUpdate::showFailure(Failure failure) {
  if (m_ctx.state.UpdateCancelled) failure = Failure::closed();
  WriteLog(m_ctx, failureLogLine(failure));
  if (failure.kind == Failure::Closed) return;
  Timer1->stop();
  Label2->hide();
  LblProgress->hide();
  Label1->setText(failureText(failure));
  // Offered again: Enter or a click tries once more, Escape or the close button closes.
  Btn_Update->show();
  Btn_Update->setFocus();
}

void FrmUpdate::Inet2_StateChanged(int state) {
  AppState& st = m_ctx.state;
  trap(m_ctx, "Inet2_StateChanged", [&] {
    // The length is the file's size in the signed manifest, set before the request; the
    // manifest and its signature are read from the component, not written.
    if (state != Inet::kResponseCompleted || st.DownloadTarget.isEmpty()) return;
    // An error page is never written, not even into the staging folder.
    if (Inet2->status() != 200) return;
    // Written with the reason of a failure in the user's words: a full disk is said so.
    filewrite::PieceWriter file;
    if (const int err = file.open(st.DownloadTarget)) {
      m_writeError = filewrite::reason(err);
      return;
    }
    QByteArray piece = Inet2->GetChunkBytes(1024);
    qint64 received = piece.size();
    LblProgress->setText(percentText(received, st.DownloadLength));
    QCoreApplication::processEvents();
    while (!piece.isEmpty()) {
      if (const int err = file.write(piece)) {
        m_writeError = filewrite::reason(err);
        return;
      }
      piece = Inet2->GetChunkBytes(1024);
      received += piece.size();
      LblProgress->setText(percentText(received, st.DownloadLength));
    }
    if (const int err = file.close()) {
      m_writeError = filewrite::reason(err);
      return;
    }
    m_written = true;
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
  // Inet1 is cancelled only while it fetches this window's file list.
  if (m_listRunning) m_ctx.inet1.Cancel();
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
