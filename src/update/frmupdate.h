#pragma once

#include <QDialog>
#include <QLabel>
#include <QList>
#include <QPushButton>
#include <QTimer>
#include <optional>

#include "app/context.h"
#include "update/releaseplan.h"
#include "update/updaterules.h"

class Inet;
class UpdateStaging;

// The update window: shows the installed and the offered version, downloads the vendor's file
// list, its signed manifest and every listed file, and hands over to the installer
// "doupdate.exe", which swaps the new program in and starts it. Nothing is put into the program
// folder before the manifest's signature and every file are verified; a failure is said in the
// window, which offers the download again.
class FrmUpdate : public QDialog {
  Q_OBJECT

 public:
  // Shows the installed and the offered version and the button, over the owner. The file list
  // comes through the context's Inet1, the manifest and the files through the window's Inet2.
  FrmUpdate(AppContext& ctx, QWidget* owner);
  ~FrmUpdate() override;

  void Btn_Update_Click();
  void Inet2_StateChanged(int state);
  void Timer1_Timer();
  // Closing the window: the download in progress is dropped and no hand-over follows.
  void Form_Unload();

  void done(int result) override;

  // A transfer of the update that brings no byte for this long is given up (the download then
  // says so and offers itself again); shorter in tests.
  static constexpr int kSilenceMs = 60000;
  void setSilenceLimitMs(int ms) { m_silenceMs = ms; }

  // Controls, named as in the design.
  QLabel* Label1;
  QLabel* LblProgress;
  QLabel* Label2;
  QPushButton* Btn_Update;
  QTimer* Timer1;
  Inet* Inet2;

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  using Failure = updaterules::UpdateFailure;
  using Planned = releaseplan::PlannedFile;

  void buildControls();
  void runDownload();
  // The file list, the manifest and its signature, then every file into the staging folder,
  // each verified; the failure that ended it otherwise.
  std::optional<Failure> fetchRelease(std::optional<UpdateStaging>& staging, QList<Planned>& plan);
  std::optional<Failure> fetchDescription(const QString& name, const QString& what, qint64 limit,
                                          QByteArray& body);
  std::optional<Failure> fetchFile(const Planned& file, const UpdateStaging& staging);
  std::optional<Failure> putInPlace(UpdateStaging& staging, const QList<Planned>& plan);
  // Logs the failure and, unless the window was closed, says it and offers the download again.
  void showFailure(Failure failure);

  AppContext& m_ctx;
  // The download runs: the button's handler must not start a second one from inside one of
  // its own waits.
  bool m_downloading = false;
  // The file list is on its way through Inet1.
  bool m_listRunning = false;
  // The current file was written to its end by the response handler, or why it was not.
  bool m_written = false;
  QString m_writeError;
  int m_silenceMs = kSilenceMs;
};
