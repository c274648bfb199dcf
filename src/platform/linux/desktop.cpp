#include "platform/linux/desktop.h"

#include "platform/linux/installlayout.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

#include <signal.h>
#include <spawn.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

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
    // A closed box lingers until the event loop deletes it, which a wait of the program's own
    // puts off: only one still on screen is raised.
    if (box->isVisible() && box->text() == text) {
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

void QtDialogs::ask(QWidget* owner, const QString& text, const QString& title,
                    std::function<void(bool yes)> answered) {
  auto* box = new QMessageBox(QMessageBox::Question, title, text,
                              QMessageBox::Yes | QMessageBox::No, owner);
  box->button(QMessageBox::Yes)->setText(QStringLiteral("Ja"));
  box->button(QMessageBox::No)->setText(QStringLiteral("Nein"));
  box->setDefaultButton(QMessageBox::No);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  QObject::connect(box, &QMessageBox::finished, box, [box, answered = std::move(answered)](int) {
    answered(box->clickedButton() == box->button(QMessageBox::Yes));
  });
  box->show();
}

int QtDialogs::exec(QDialog& dialog) {
  return dialog.exec();
}

void StderrDialogs::errorBox(const QString& text, const QString& title) {
  QString line = text;
  line.replace(QStringLiteral("\r\n"), QStringLiteral("; "));
  line = line.simplified();
  if (!title.isEmpty()) line.prepend(title + QStringLiteral(": "));
  std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
  std::fflush(stderr);
}

void StderrDialogs::messageBox(QWidget*, const QString& text, const QString& title) {
  errorBox(text, title);
}

void StderrDialogs::infoBox(QWidget*, const QString& text, const QString& title) {
  errorBox(text, title);
}

void StderrDialogs::ask(QWidget*, const QString& text, const QString& title,
                        std::function<void(bool yes)> answered) {
  errorBox(text, title);
  answered(false);
}

int StderrDialogs::exec(QDialog&) {
  return QDialog::Rejected;
}

QtProcesses::QtProcesses(const QString& lockFolder) {
  QDir().mkpath(lockFolder);
  m_lock = std::make_unique<QLockFile>(lockFolder + QStringLiteral("/gebotsfalkeplus.lock"));
  m_lock->setStaleLockTime(0);  // a crashed instance leaves no valid lock behind (pid check)
  m_previousInstance = !m_lock->tryLock(0);
}

namespace {
StartFailure classifyStartError(int error, const QString& program) {
  switch (error) {
    case ENOENT:
      // The file is there, but what it needs to run is not (a script's interpreter, a loader).
      return QFileInfo::exists(program) ? StartFailure::NotAProgram : StartFailure::NotFound;
    case ENOTDIR:
      return StartFailure::NotFound;
    case EACCES:
    case EPERM:
      return StartFailure::NoRight;
    case ENOEXEC:
    case ELIBBAD:
      return StartFailure::NotAProgram;
    default:
      return StartFailure::Other;
  }
}

QString systemWords(int error) {
  return QString::fromLocal8Bit(std::strerror(error));
}
}  // namespace

StartResult QtProcesses::startDetached(const QString& program, const QStringList& arguments,
                                       const QString& workingDirectory,
                                       const EnvironmentAdditions& environment) {
  // A missing working folder would fail the start with the same words as a missing program.
  if (!workingDirectory.isEmpty() && !QFileInfo(workingDirectory).isDir())
    return {StartFailure::Other, systemWords(ENOENT) + QStringLiteral(": ") + workingDirectory};

  QByteArrayList args{QFile::encodeName(program)};
  for (const QString& a : arguments) args.append(a.toLocal8Bit());
  QByteArrayList env;
  QByteArrayList added;
  for (const auto& [name, value] : environment) added.append(name.toLocal8Bit());
  for (char** e = environ; *e; ++e) {
    const QByteArray entry(*e);
    if (!added.contains(entry.left(entry.indexOf('=')))) env.append(entry);
  }
  for (const auto& [name, value] : environment)
    env.append(name.toLocal8Bit() + '=' + QFile::encodeName(value));
  std::vector<char*> argv;
  for (QByteArray& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (QByteArray& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const QByteArray folder = QFile::encodeName(workingDirectory);
  if (!folder.isEmpty()) posix_spawn_file_actions_addchdir_np(&actions, folder.constData());
  // Its own session, no blocked signals and every signal at its default, as a program started
  // from the desktop would have them.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigdefault(&attributes, &all);

  pid_t pid = 0;
  const int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (error == 0) return {};
  return {classifyStartError(error, program), systemWords(error)};
}

void QtProcesses::exitNow(int code) {
  std::fflush(nullptr);
  if (m_lock) m_lock->unlock();
  ::_exit(code);
}

LinuxProgramInfo::LinuxProgramInfo() {
  const QString exeDir = QCoreApplication::applicationDirPath();
  m_installed = installlayout::isInstalledCopy(exeDir);
  m_folder =
      installlayout::programFolder(qEnvironmentVariable("GEBOTSFALKE_HOME"), exeDir, m_installed,
                                   QFileInfo(exeDir).isWritable(), QDir::homePath());
  QDir().mkpath(m_folder);
  // Qt reads /proc/self/exe, which has every link resolved; canonical all the same in case it
  // had to fall back to the command line.
  const QString started = QCoreApplication::applicationFilePath();
  const QString real = QFileInfo(started).canonicalFilePath();
  m_executable = real.isEmpty() ? started : real;
}
