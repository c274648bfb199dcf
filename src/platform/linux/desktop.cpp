#include "platform/linux/desktop.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <unistd.h>
#include <cstdio>

bool QtShell::openUrl(const QString& url) {
  return QDesktopServices::openUrl(QUrl(url));
}

bool QtShell::openFile(const QString& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void QtShell::flashWindow(QWidget* window) {
  if (window) QApplication::alert(window, 0);
}

void QtDialogs::errorBox(const QString& text, const QString& title) {
  m_openErrorBoxes.removeAll(nullptr);
  for (const auto& box : m_openErrorBoxes) {
    if (box->text() == text) {
      box->raise();
      return;
    }
  }
  auto* box = new QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Ok);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  box->show();
  m_openErrorBoxes.append(box);
}

void QtDialogs::messageBox(QWidget* owner, const QString& text, const QString& title) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, owner);
  box.exec();
}

void QtDialogs::infoBox(QWidget* owner, const QString& text, const QString& title) {
  QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, owner);
  box.exec();
}

int QtDialogs::exec(QDialog& dialog) {
  return dialog.exec();
}

QtProcesses::QtProcesses(const QString& lockFolder) {
  QDir().mkpath(lockFolder);
  m_lock = std::make_unique<QLockFile>(lockFolder + QStringLiteral("/gebotsfalkeplus.lock"));
  m_lock->setStaleLockTime(0);  // a crashed instance leaves no valid lock behind (pid check)
  m_previousInstance = !m_lock->tryLock(0);
}

bool QtProcesses::startDetached(const QString& program, const QStringList& arguments,
                                const QString& workingDirectory) {
  return QProcess::startDetached(program, arguments, workingDirectory);
}

void QtProcesses::exitNow(int code) {
  std::fflush(nullptr);
  if (m_lock) m_lock->unlock();
  ::_exit(code);
}

LinuxProgramInfo::LinuxProgramInfo() {
  const QString home = qEnvironmentVariable("GEBOTSFALKE_HOME");
  if (!home.isEmpty()) {
    m_folder = QDir(home).absolutePath();
  } else {
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (QFileInfo(exeDir).isWritable()) {
      m_folder = exeDir;
    } else {
      m_folder = QDir::homePath() + QStringLiteral("/.local/share/GebotsfalkePlus");
    }
  }
  QDir().mkpath(m_folder);
}
