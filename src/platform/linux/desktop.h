#pragma once

#include <QLockFile>
#include <QPointer>
#include <QString>
#include <memory>

#include "platform/dialogs.h"
#include "platform/processes.h"
#include "platform/programinfo.h"
#include "platform/shell.h"

class QMessageBox;

// The desktop's default handlers through QDesktopServices.
class QtShell : public Shell {
 public:
  bool openUrl(const QString& url) override;
  bool openFile(const QString& path) override;
  void flashWindow(QWidget* window) override;
};

// Qt message boxes. Error boxes are shown without blocking; one that is already open with the
// same text is raised instead of opening another.
class QtDialogs : public Dialogs {
 public:
  void errorBox(const QString& text, const QString& title) override;
  void messageBox(QWidget* owner, const QString& text, const QString& title) override;
  void infoBox(QWidget* owner, const QString& text, const QString& title) override;
  void ask(QWidget* owner, const QString& text, const QString& title,
           std::function<void(bool yes)> answered) override;
  int exec(QDialog& dialog) override;

 private:
  QList<QPointer<QMessageBox>> m_openErrorBoxes;
};

// For a run without windows ("-time"): every box becomes one line on standard error, "title:
// text" with the text's line breaks as "; ". Modal windows are not shown; they count as
// cancelled, and questions as answered "Nein".
class StderrDialogs : public Dialogs {
 public:
  void errorBox(const QString& text, const QString& title) override;
  void messageBox(QWidget* owner, const QString& text, const QString& title) override;
  void infoBox(QWidget* owner, const QString& text, const QString& title) override;
  void ask(QWidget* owner, const QString& text, const QString& title,
           std::function<void(bool yes)> answered) override;
  int exec(QDialog& dialog) override;
};

class QtProcesses : public Processes {
 public:
  // lockFolder: where the per-user instance lock lives.
  explicit QtProcesses(const QString& lockFolder);
  // Through posix_spawn, which, unlike QProcess, tells why a program did not start. The child
  // runs in a session of its own; it stays this process's child until this one ends, so it is
  // for handing over right before the end (the update).
  StartResult startDetached(const QString& program, const QStringList& arguments,
                            const QString& workingDirectory,
                            const EnvironmentAdditions& environment) override;
  void exitNow(int code) override;
  bool previousInstance() const override { return m_previousInstance; }

 private:
  std::unique_ptr<QLockFile> m_lock;
  bool m_previousInstance = false;
};

// The program folder: GEBOTSFALKE_HOME when set, else the executable's folder when writable
// and not an installed copy, else ~/.local/share/GebotsfalkePlus (installlayout.h). The
// executable's path is taken at start (from /proc/self/exe), before an update could replace
// the file.
class LinuxProgramInfo : public ProgramInfo {
 public:
  LinuxProgramInfo();
  QString programFolder() const override { return m_folder; }
  QString executablePath() const override { return m_executable; }
  bool installedCopy() const override { return m_installed; }

 private:
  QString m_folder;
  QString m_executable;
  bool m_installed = false;
};
