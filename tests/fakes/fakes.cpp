#include "fakes/fakes.h"

#include <QCoreApplication>

#include "app/dateserial.h"

void FakeClock::waitUntilMs(qint64 targetMs) {
  ++waits;
  if (onWait) onWait(targetMs);
  if (targetMs > localMs()) setMs(targetMs);
  QCoreApplication::processEvents();
}

void FakeClock::set(int year, int month, int day, int hour, int minute, int second, int ms) {
  m_ms = dateserial::dayNumber(year, month, day) * 86400000 +
         (hour * 3600 + minute * 60 + second) * 1000LL + ms;
}

ClockChange FakeSystemClock::setTimeOfDay(int hour, int minute, int second) {
  calls.append(QStringLiteral("time %1:%2:%3")
                   .arg(hour, 2, 10, QChar('0'))
                   .arg(minute, 2, 10, QChar('0'))
                   .arg(second, 2, 10, QChar('0')));
  if (refuse) return {false, QStringLiteral("Operation not permitted")};
  return {true, QString()};
}

ClockChange FakeSystemClock::setDate(int year, int month, int day) {
  calls.append(QStringLiteral("date %1-%2-%3")
                   .arg(year, 4, 10, QChar('0'))
                   .arg(month, 2, 10, QChar('0'))
                   .arg(day, 2, 10, QChar('0')));
  if (refuse) return {false, QStringLiteral("Operation not permitted")};
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
