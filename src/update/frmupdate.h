#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "app/context.h"

class Form1;
class Inet;

// The update window: shows the installed and the offered version, downloads the vendor's file
// list and every listed file into the program folder, and hands over to the installer
// "doupdate.exe", which swaps the new program in and starts it.
class FrmUpdate : public QDialog {
  Q_OBJECT

 public:
  // Owned by the main window, whose transfer component fetches the file list.
  explicit FrmUpdate(Form1& main);
  ~FrmUpdate() override;

  void Btn_Update_Click();
  void Inet2_StateChanged(int state);
  void Timer1_Timer();
  // Closing the window: the download in progress is dropped and no hand-over follows.
  void Form_Unload();

  void done(int result) override;

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
  void buildControls();
  void runDownload();
  // Logs the incomplete download; the window stays as it is until the user closes it.
  void reportIncomplete();
  // The file just fetched arrived whole: answered with 200 and as long as announced.
  bool fileComplete() const;

  Form1& m_main;
  AppContext& m_ctx;
  // The download runs: the button's handler must not start a second one from inside one of
  // its own waits.
  bool m_downloading = false;
  // The current file was written to its end by the response handler.
  bool m_written = false;
};
