#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/keyring.h"
#include "platform/notifier.h"
#include "platform/processes.h"
#include "platform/programinfo.h"
#include "platform/shell.h"
#include "platform/sleepinhibitor.h"
#include "platform/sound.h"
#include "platform/systemclock.h"
#include "platform/windowlist.h"

// A clock the test sets. Waits jump straight to their target (and let pending events run once),
// unless the clock was told to run on with real time. A site played by another thread may
// read it meanwhile.
class FakeClock : public Clock {
 public:
  qint64 computerMs() const override;
  void waitUntilMs(qint64 targetMs) override;
  // Runs `then` from the event loop with the clock at the target (or later).
  void callAt(qint64 targetMs, QObject* context, std::function<void()> then) override;
  void setMs(qint64 ms) { m_ms = ms - runningMs(); }
  // Sets the computer's clock to a date and time of day.
  void set(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0);
  void advanceMs(qint64 ms) { m_ms += ms; }
  // From now on the clock runs on as real time passes, and waits take real time: for a test
  // against a site whose clock is the real one.
  void runOn();
  // From now on the clock also moves on with the real time in between, but waits still jump:
  // for tests of network bounds measured against it.
  void runWithRealTime();
  // Called on every wait, before the clock jumps (a test may act while the program waits).
  std::function<void(qint64 targetMs)> onWait;
  int waits = 0;

 private:
  qint64 runningMs() const;
  std::atomic<qint64> m_ms{0};
  std::atomic<qint64> m_runningSince{-1};  // monotonic ms; -1 while the clock stands
  std::atomic<bool> m_realWaits{false};    // runOn(): waits take real time
};

// Sets the linked fake clock, unless told to refuse as a user without the right would.
class FakeSystemClock : public SystemClock {
 public:
  ClockChange shiftLocalTime(qint64 ms) override;
  FakeClock* clock = nullptr;  // the clock the shifts move
  bool refuse = false;         // answer like a user without the right to set the clock
  QList<qint64> shifts;        // every shift asked for, also the refused ones
};

class FakeWindowList : public WindowList {
 public:
  QList<TopLevelWindow> windows() override { return list; }
  QList<TopLevelWindow> list;
};

class FakeSound : public Sound {
 public:
  void tone(int frequencyHz, int durationMs) override { tones.append({frequencyHz, durationMs}); }
  QList<QPair<int, int>> tones;
};

class FakeShell : public Shell {
 public:
  bool openUrl(const QString& url) override {
    urls.append(url);
    return true;
  }
  bool openFile(const QString& path) override {
    files.append(path);
    return true;
  }
  void flashWindow(QWidget*) override { ++flashes; }
  QStringList urls, files;
  int flashes = 0;
};

// Records every box; modal dialogs are handed to onExec (when set) and answered at once;
// questions wait in `questions` until the test answers them.
class FakeDialogs : public Dialogs {
 public:
  void errorBox(const QString& text, const QString& title) override;
  void messageBox(QWidget* owner, const QString& text, const QString& title) override;
  void infoBox(QWidget* owner, const QString& text, const QString& title) override;
  void ask(QWidget*, const QString& text, const QString&,
           std::function<void(bool yes)> answered) override {
    questions.append({text, std::move(answered)});
  }
  int exec(QDialog& dialog) override;

  QList<QPair<QString, std::function<void(bool)>>> questions;
  QStringList errors;    // error box texts
  QStringList messages;  // message box texts
  QStringList infos;     // information box texts
  QStringList titles;    // titles of message and information boxes
  QList<QString> execs;  // objectNames of the dialogs shown modally
  std::function<void(QDialog&)> onExec;
  std::function<void(const QString&)> onMessage;
};

class FakeProcesses : public Processes {
 public:
  StartResult startDetached(const QString& program, const QStringList& arguments,
                            const QString& workingDirectory,
                            const EnvironmentAdditions& environment) override;
  void exitNow(int code) override { exits.append(code); }
  bool previousInstance() const override { return previous; }
  QStringList started;  // program and arguments, also when the start fails
  QList<EnvironmentAdditions> environments;
  QList<int> exits;
  bool previous = false;
  StartResult answer;  // what every start returns
};

// Records the inhibitor's holds and releases ("hold WHY", "release"); always available.
class FakeSleepInhibitor : public SleepInhibitor {
 public:
  void hold(const QString& why, std::function<void(const QString&)>) override {
    calls.append(QStringLiteral("hold ") + why);
  }
  void release() override { calls.append(QStringLiteral("release")); }
  QStringList calls;
};

// Records every notification (title, text).
class FakeNotifier : public Notifier {
 public:
  void notify(const QString& title, const QString& text, std::function<void()>) override {
    shown.append({title, text});
  }
  QList<QPair<QString, QString>> shown;
};

class FakeProgramInfo : public ProgramInfo {
 public:
  QString programFolder() const override { return folder; }
  // In the program folder unless a test puts it elsewhere.
  QString executablePath() const override {
    return executable.isEmpty() ? folder + QStringLiteral("/gebotsfalkeplus") : executable;
  }
  bool installedCopy() const override { return installed; }
  QString folder;
  QString executable;
  bool installed = false;
};

class FakeClipboard : public Clipboard {
 public:
  QString text() override {
    ++reads;
    return content;
  }
  QString content;
  int reads = 0;
};

// A keyring held in memory; like a desktop without one unless `available` is set.
class FakeKeyring : public Keyring {
 public:
  Answer read(const QString& name) override;
  Answer write(const QString& name, const QString& secret) override;
  Answer remove(const QString& name) override;
  bool available = false;
  QHash<QString, QString> secrets;
};
