// fakedesktop: the fake logind and notification server of the tests as a program of its own,
// for end-to-end runs of the real program on private buses.
//
//   fakedesktop --system ADDRESS --session ADDRESS --state FILE
//
// Serves org.freedesktop.login1 on the bus at --system and org.freedesktop.Notifications on the
// one at --session (either may be left out), prints "ready" once both are registered, and
// rewrites FILE (JSON: the locks with their release and the notifications) on every change.
// SIGUSR1 clicks the last notification; SIGTERM ends it.
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "support/fakedesktop.h"

namespace {
int g_signals[2] = {-1, -1};

void onSignal(int number) {
  const char c = static_cast<char>(number);
  [[maybe_unused]] ssize_t n = ::write(g_signals[1], &c, 1);
}

void writeState(const QString& path, const FakeLogind& logind, const FakeNotifications& notes) {
  QJsonArray locks, shown;
  for (const FakeLogind::Lock& l : logind.locks)
    locks.append(QJsonObject{{"what", l.what},
                             {"who", l.who},
                             {"why", l.why},
                             {"mode", l.mode},
                             {"released", l.released}});
  for (const FakeNotifications::Shown& s : notes.shown)
    shown.append(QJsonObject{{"id", int(s.id)},
                             {"app", s.app},
                             {"icon", s.icon},
                             {"summary", s.summary},
                             {"body", s.body},
                             {"actions", QJsonArray::fromStringList(s.actions)},
                             {"desktop_entry", s.desktopEntry},
                             {"image", QJsonArray{s.image.width(), s.image.height()}}});
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return;
  f.write(QJsonDocument(QJsonObject{{"locks", locks}, {"notifications", shown}}).toJson());
  f.commit();
}
}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  auto value = [&](const char* name) {
    const qsizetype i = args.indexOf(QString::fromLatin1(name));
    return i > 0 && i + 1 < args.size() ? args[i + 1] : QString();
  };
  const QString statePath = value("--state");
  if (statePath.isEmpty()) {
    std::fprintf(stderr,
                 "usage: fakedesktop [--system ADDRESS] [--session ADDRESS] --state FILE\n");
    return 2;
  }
  FakeLogind logind;
  FakeNotifications notes;
  if (!value("--system").isEmpty() &&
      !logind.serveOn(QDBusConnection::connectToBus(value("--system"), "system"))) {
    std::fprintf(stderr, "fakedesktop: cannot serve logind\n");
    return 1;
  }
  if (!value("--session").isEmpty() &&
      !notes.serveOn(QDBusConnection::connectToBus(value("--session"), "session"))) {
    std::fprintf(stderr, "fakedesktop: cannot serve notifications\n");
    return 1;
  }
  const auto save = [&] { writeState(statePath, logind, notes); };
  QObject::connect(&logind, &FakeLogind::changed, save);
  QObject::connect(&notes, &FakeNotifications::changed, save);
  save();

  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signals) != 0) return 1;
  QSocketNotifier signalNotifier(g_signals[0], QSocketNotifier::Read);
  QObject::connect(&signalNotifier, &QSocketNotifier::activated, [&] {
    char c = 0;
    if (::read(g_signals[0], &c, 1) != 1) return;
    if (c == SIGUSR1 && !notes.shown.isEmpty()) {
      notes.click(notes.shown.last().id);
    } else if (c == SIGTERM) {
      app.quit();
    }
  });
  std::signal(SIGUSR1, onSignal);
  std::signal(SIGTERM, onSignal);
  std::printf("ready\n");
  std::fflush(stdout);
  return app.exec();
}
