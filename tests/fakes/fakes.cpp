#include "fakes/fakes.h"

#include <QCoreApplication>
#include <QTest>
#include <QTimer>

#include <chrono>

#include "app/dateserial.h"

namespace {
qint64 monotonicMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

qint64 FakeClock::runningMs() const {
  const qint64 since = m_runningSince;
  return since < 0 ? 0 : monotonicMs() - since;
}

qint64 FakeClock::computerMs() const {
  return m_ms + runningMs();
}

void FakeClock::runWithRealTime() {
  if (m_runningSince >= 0) return;
  const qint64 now = computerMs();
  m_runningSince = monotonicMs();
  m_ms = now;
}

void FakeClock::runOn() {
  runWithRealTime();
  m_realWaits = true;
}

void FakeClock::waitUntilMs(qint64 targetMs) {
  ++waits;
  if (onWait) onWait(targetMs);
  if (m_realWaits) {
    const qint64 rest = targetMs - localMs();
    if (rest > 0) QTest::qWait(static_cast<int>(std::min<qint64>(rest, 250)));
    return;
  }
  if (targetMs > localMs()) m_ms += targetMs - localMs();
  QCoreApplication::processEvents();
}

void FakeClock::callAt(qint64 targetMs, QObject* context, std::function<void()> then) {
  if (m_realWaits && targetMs > localMs()) {
    QTimer::singleShot(static_cast<int>(std::min<qint64>(targetMs - localMs(), 250)),
                       Qt::PreciseTimer, context,
                       [this, targetMs, context, then] { callAt(targetMs, context, then); });
    return;
  }
  QTimer::singleShot(0, context, [this, targetMs, then = std::move(then)] {
    if (targetMs > localMs()) m_ms += targetMs - localMs();
    then();
  });
}

void FakeClock::set(int year, int month, int day, int hour, int minute, int second, int ms) {
  setMs(dateserial::dayNumber(year, month, day) * 86400000 +
        (hour * 3600 + minute * 60 + second) * 1000LL + ms);
}

ClockChange FakeSystemClock::shiftLocalTime(qint64 ms) {
  shifts.append(ms);
  if (refuse) return {false, QStringLiteral("Operation not permitted")};
  if (clock) clock->advanceMs(ms);
  return {true, QString()};
}

void FakeDialogs::errorBox(const QString& text, const QString&) {
  errors.append(text);
}

void FakeDialogs::messageBox(QWidget*, const QString& text, const QString& title) {
  messages.append(text);
  titles.append(title);
  if (onMessage) onMessage(text);
}

void FakeDialogs::infoBox(QWidget*, const QString& text, const QString& title) {
  infos.append(text);
  titles.append(title);
}

int FakeDialogs::exec(QDialog& dialog) {
  execs.append(dialog.objectName());
  if (onExec) onExec(dialog);
  return dialog.result();
}

StartResult FakeProcesses::startDetached(const QString& program, const QStringList& arguments,
                                         const QString&, const EnvironmentAdditions& environment) {
  started.append((QStringList{program} + arguments).join(QChar(' ')));
  environments.append(environment);
  return answer;
}

Keyring::Answer FakeKeyring::read(const QString& name) {
  if (!available) return {Status::Unavailable, {}, QStringLiteral("kein Schlüsselbund")};
  if (!secrets.contains(name)) return {Status::NotFound, {}, {}};
  return {Status::Ok, secrets.value(name), {}};
}

Keyring::Answer FakeKeyring::write(const QString& name, const QString& secret) {
  if (!available) return {Status::Unavailable, {}, QStringLiteral("kein Schlüsselbund")};
  secrets.insert(name, secret);
  return {Status::Ok, {}, {}};
}

Keyring::Answer FakeKeyring::remove(const QString& name) {
  if (!available) return {Status::Unavailable, {}, QStringLiteral("kein Schlüsselbund")};
  secrets.remove(name);
  return {Status::Ok, {}, {}};
}
