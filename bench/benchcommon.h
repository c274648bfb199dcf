#pragma once

// Small pieces the benchmark programs share: statistics, waiting in the event loop, reading a
// process's processor time and memory, and writing the figures as JSON.
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace bench {

inline double median(std::vector<double> v) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

inline double worst(const std::vector<double>& v) {
  return v.empty() ? -1 : *std::max_element(v.begin(), v.end());
}

// The value after `name` on the command line, or the fallback.
inline QString argument(const QStringList& args, const char* name, const QString& fallback = {}) {
  const qsizetype i = args.indexOf(QString::fromLatin1(name));
  return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
}

// Waits while the event loop runs (timers, sockets and windows keep working meanwhile).
inline void waitMs(int ms) {
  if (ms <= 0) return;
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

// Waits, testing every few milliseconds, until the condition holds or the time is up.
template <class Condition>
bool waitFor(Condition condition, int timeoutMs, int stepMs = 5) {
  for (int waited = 0; !condition(); waited += stepMs) {
    if (waited >= timeoutMs) return false;
    waitMs(stepMs);
  }
  return true;
}

// Processor time (user and system, all threads) a process has used so far, in seconds.
inline double processCpuSeconds(qint64 pid) {
  QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const QByteArray stat = f.readAll();
  // The fields after the command name (which may hold blanks) start after its ")".
  const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
  if (fields.size() < 13) return -1;
  const double ticks = double(fields[11].toLongLong() + fields[12].toLongLong());
  return ticks / double(sysconf(_SC_CLK_TCK));
}

// Resident memory of a process in MiB.
inline double residentMiB(qint64 pid) {
  QFile f(QStringLiteral("/proc/%1/status").arg(pid));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : f.readAll().split('\n')) {
    if (!line.startsWith("VmRSS:")) continue;
    return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
  }
  return -1;
}

// Processor time of the calling thread, in seconds.
inline double threadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

inline bool writeJson(const QString& path, const QJsonObject& object) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  f.write(QJsonDocument(object).toJson());
  return true;
}

inline QJsonArray toArray(const std::vector<double>& v) {
  QJsonArray a;
  for (double x : v) a.append(x);
  return a;
}

// The simulator's request log, a JSON object a line, oldest first.
inline QList<QJsonObject> requestLog(const QString& path) {
  QList<QJsonObject> out;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return out;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (!line.trimmed().isEmpty()) out.append(QJsonDocument::fromJson(line).object());
  return out;
}

inline void say(const QString& text) {
  std::fprintf(stderr, "%s\n", qPrintable(text));
  std::fflush(stderr);
}

}  // namespace bench
