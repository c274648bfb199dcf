#include "windowdump.h"

#include <QAbstractButton>
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <sys/socket.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>

namespace {
int g_pipe[2] = {-1, -1};

void onDumpSignal(int) {
  const char c = 1;
  [[maybe_unused]] ssize_t n = ::write(g_pipe[1], &c, 1);
}

void putGeometry(QJsonObject& o, const QWidget* w) {
  const QPoint topLeft = w->mapToGlobal(QPoint(0, 0));
  o.insert(QStringLiteral("x"), topLeft.x());
  o.insert(QStringLiteral("y"), topLeft.y());
  o.insert(QStringLiteral("w"), w->width());
  o.insert(QStringLiteral("h"), w->height());
}

// A control with a name or a text; nameless containers without text are left out.
QJsonObject describeControl(const QWidget* w) {
  QJsonObject o;
  QString text;
  if (const auto* label = qobject_cast<const QLabel*>(w)) {
    text = label->text();
  } else if (const auto* edit = qobject_cast<const QLineEdit*>(w)) {
    text = edit->displayText();
  } else if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
    text = button->text();
    if (button->isCheckable()) o.insert(QStringLiteral("checked"), button->isChecked());
  }
  if (w->objectName().isEmpty() && text.isEmpty()) return {};
  o.insert(QStringLiteral("class"), QString::fromLatin1(w->metaObject()->className()));
  o.insert(QStringLiteral("name"), w->objectName());
  o.insert(QStringLiteral("text"), text);
  o.insert(QStringLiteral("visible"), w->isVisible());
  o.insert(QStringLiteral("enabled"), w->isEnabled());
  o.insert(QStringLiteral("focus"), w->hasFocus());
  o.insert(QStringLiteral("fg"), w->palette().color(w->foregroundRole()).name());
  putGeometry(o, w);
  return o;
}

QJsonObject describeWindow(const QWidget* window) {
  QJsonObject o;
  o.insert(QStringLiteral("class"), QString::fromLatin1(window->metaObject()->className()));
  o.insert(QStringLiteral("name"), window->objectName());
  o.insert(QStringLiteral("title"), window->windowTitle());
  o.insert(QStringLiteral("visible"), window->isVisible());
  o.insert(QStringLiteral("modal"), window->isModal());
  o.insert(QStringLiteral("active"), window->isActiveWindow());
  // The native window, when there is one (never created here).
  o.insert(QStringLiteral("winId"), static_cast<qint64>(window->internalWinId()));
  putGeometry(o, window);
  QJsonArray controls;
  for (const QWidget* child : window->findChildren<QWidget*>()) {
    const QJsonObject c = describeControl(child);
    if (!c.isEmpty()) controls.append(c);
  }
  o.insert(QStringLiteral("controls"), controls);
  return o;
}
}  // namespace

QObject* WindowDumpPlugin::create(const QString& key, const QString& argument) {
  if (key.compare(QLatin1String("gfwindowdump"), Qt::CaseInsensitive) != 0) return nullptr;
  QString path = argument;
  if (path.isEmpty()) path = qEnvironmentVariable("GF_WINDOW_DUMP");
  if (path.isEmpty()) {
    std::fprintf(stderr, "gfwindowdump: no dump file given (gfwindowdump:<file>)\n");
    return nullptr;
  }
  return new WindowDumper(path);
}

WindowDumper::WindowDumper(const QString& path, QObject* parent) : QObject(parent), m_path(path) {
  // Set up once the application's event loop runs; the first dump tells a reader that SIGUSR1
  // is safe to send from now on.
  QTimer::singleShot(0, this, [this] {
    listenForSignal();
    dump();
  });
}

void WindowDumper::listenForSignal() {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0) return;
  auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, [this] {
    char c;
    [[maybe_unused]] ssize_t n = ::read(g_pipe[0], &c, 1);
    dump();
  });
  struct sigaction sa {};
  sa.sa_handler = onDumpSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGUSR1, &sa, nullptr);
}

void WindowDumper::dump() {
  QJsonArray windows;
  for (const QWidget* w : QApplication::topLevelWidgets()) windows.append(describeWindow(w));
  QJsonObject root;
  root.insert(QStringLiteral("seq"), ++m_sequence);
  root.insert(QStringLiteral("pid"), static_cast<qint64>(::getpid()));
  root.insert(QStringLiteral("windows"), windows);
  QSaveFile file(m_path);
  if (!file.open(QIODevice::WriteOnly)) return;
  file.write(QJsonDocument(root).toJson(QJsonDocument::Indented));
  file.commit();
}
