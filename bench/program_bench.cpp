// The real program under the X server of the environment (with a window manager): how long it
// takes from being started to its main window being mapped, how much memory it holds after the
// start and after a bid, and how much processor time it uses in the last minute of a countdown
// and in the pause after its bid. A window of this process plays the browser with an auction
// page of the simulator; the bid is armed through the X server as a user would (xdotool).
// For comparison, a wait that spins instead of sleeping is measured in this process.
//
//   bench_program --program PATH --sim PATH --out FILE [--startups N]
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QWidget>

#include <csignal>

#include "app/cp1252.h"
#include "app/scramble.h"
#include "app/settings.h"
#include "benchclock.h"
#include "benchcommon.h"
#include "platform/linux/systemclockbackend.h"
#include "simulator.h"
#include "xwatch.h"

namespace {

const char* const kItem = "1234567890";
constexpr int kSecondsBeforeEnd = 30;
constexpr int kEndsIn = 75;

// A program folder and a settings folder as the program leaves them after the options were
// filled in: an account, the seconds before the end, no tones, no message after a clock
// synchronisation, and the hosts pointed at the simulator.
struct Installation {
  explicit Installation(const QString& simulator) {
    QDir().mkpath(program());
    QDir().mkpath(config());
    QFile ini(program() + QStringLiteral("/endpoints.ini"));
    ini.open(QIODevice::WriteOnly);
    ini.write("[Endpoints]\n");
    for (const char* key :
         {"OfferHost", "ItemHost", "OfferHostDe", "ItemHostDe", "TimeHost", "VendorServer"})
      ini.write(QByteArray(key) + "=" + simulator.toUtf8() + "\n");
    SettingsStore store(config());
    const QList<QPair<QString, QString>> values = {
        {"user", "bieter"},
        {"pass", cryptme(QStringLiteral("geheim"), scramble::passwordKey())},
        {"sectobid", QString::number(kSecondsBeforeEnd)},
        {"warnton", "0"},
        {"msgonsync", "0"},
        {"synconstart", "0"},
        {"saveuser", "1"}};
    for (const auto& kv : values)
      store.SaveSetting(settingskeys::kApp, settingskeys::kSection, kv.first, kv.second);
  }
  QString program() const { return dir.path() + QStringLiteral("/program"); }
  QString config() const { return dir.path() + QStringLiteral("/config"); }
  QString log() const {
    QFile f(program() + QStringLiteral("/gebotsfalke.log"));
    return f.open(QIODevice::ReadOnly) ? cp1252::decode(f.readAll()) : QString();
  }
  QProcessEnvironment environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("GEBOTSFALKE_HOME"), program());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config());
    env.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Berlin"));  // the site's titles
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
  }
  QTemporaryDir dir;
};

// Starts the program and waits for its main window; the milliseconds it took, -1 on failure.
double start(QProcess& program, const QString& path, const Installation& inst, MapWatch& watch,
             uint32_t* window) {
  program.setProcessEnvironment(inst.environment());
  program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  program.setChildProcessModifier(bench::dropClockRight);
  watch.drain();
  const qint64 t0 = QDateTime::currentMSecsSinceEpoch();
  program.start(path, {});
  const uint32_t w = watch.waitForMapped("Gebotsfalke", 10000);
  const qint64 t1 = QDateTime::currentMSecsSinceEpoch();
  if (window) *window = w;
  return w ? double(t1 - t0) : -1;
}

void stop(QProcess& process) {
  if (process.state() == QProcess::NotRunning) return;
  ::kill(pid_t(process.processId()), SIGTERM);
  if (!process.waitForFinished(10000)) {
    process.kill();
    process.waitForFinished(5000);
  }
}

bool xdotool(const QStringList& args) {
  return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
}

// The title the browser shows for the item page, fetched from the simulator.
QString pageTitle(const QString& base) {
  QNetworkAccessManager nam;
  QNetworkReply* reply = nam.get(QNetworkRequest(QUrl(
      base + QStringLiteral("/ws/eBayISAPI.dll?ViewItem&item=") + QString::fromLatin1(kItem))));
  bench::waitFor([&] { return reply->isFinished(); }, 5000);
  const QString page = cp1252::decode(reply->readAll());
  reply->deleteLater();
  const QRegularExpressionMatch m =
      QRegularExpression(QStringLiteral("<title>(.*)</title>")).match(page);
  return m.hasMatch() ? m.captured(1) : QString();
}

// The end the title shows ("(endet 05.12.26 20:00:00 MEZ)", German time), ms since the epoch.
qint64 endFromTitle(const QString& title) {
  const QRegularExpressionMatch m =
      QRegularExpression(QStringLiteral("\\(endet (\\d\\d\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d)"))
          .match(title);
  if (!m.hasMatch()) return -1;
  QDateTime t = QDateTime::fromString(m.captured(1), QStringLiteral("dd.MM.yy HH:mm:ss"));
  // "yy" reads 1900 to 1999: move it to the year nearest to today (50 back to 49 ahead).
  t = t.addYears(100 * ((QDate::currentDate().year() - 50 - t.date().year() + 99) / 100));
  return QDateTime(t.date(), t.time(), QTimeZone("Europe/Berlin")).toMSecsSinceEpoch();
}

void waitUntil(qint64 epochMs) {
  while (QDateTime::currentMSecsSinceEpoch() < epochMs)
    bench::waitMs(int(std::min<qint64>(epochMs - QDateTime::currentMSecsSinceEpoch(), 200)));
}

// Processor share of a process between two moments, in percent of one core.
struct CpuWindow {
  double cpu0 = 0, cpu1 = 0;
  qint64 t0 = 0, t1 = 0;
  void begin(qint64 pid) {
    cpu0 = bench::processCpuSeconds(pid);
    t0 = QDateTime::currentMSecsSinceEpoch();
  }
  void end(qint64 pid) {
    cpu1 = bench::processCpuSeconds(pid);
    t1 = QDateTime::currentMSecsSinceEpoch();
  }
  double percent() const { return 100.0 * (cpu1 - cpu0) / (double(t1 - t0) / 1000.0); }
};

// The pause of the program written as a loop that keeps asking the clock while it lets pending
// events run, measured on this thread.
double spinningPercent(int seconds) {
  QtClock clock;
  const double c0 = bench::threadCpuSeconds();
  const qint64 t0 = clock.localMs();
  const qint64 target = t0 + seconds * 1000;
  while (clock.localMs() < target) QCoreApplication::processEvents();
  return 100.0 * (bench::threadCpuSeconds() - c0) / (double(clock.localMs() - t0) / 1000.0);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  const QString programPath = bench::argument(args, "--program");
  const QString simPath = bench::argument(args, "--sim");
  const QString out = bench::argument(args, "--out");
  const int startups = bench::argument(args, "--startups", QStringLiteral("7")).toInt();
  if (programPath.isEmpty() || simPath.isEmpty() || out.isEmpty()) {
    bench::say(QStringLiteral("usage: bench_program --program PATH --sim PATH --out FILE"));
    return 2;
  }
  MapWatch watch;
  if (!watch.ok() || QGuiApplication::platformName() != QLatin1String("xcb")) {
    bench::say(QStringLiteral("bench_program: needs an X server (DISPLAY) with a window manager"));
    return 2;
  }
  QStringList problems;

  // The simulator with one auction that ends in a little over a minute.
  QTemporaryDir work;
  QProcess simulator;
  simulator.start(simPath,
                  {QStringLiteral("--request-log"), work.path() + "/requests.jsonl",
                   QStringLiteral("--account"), QStringLiteral("bieter:geheim"),
                   QStringLiteral("--vendor-version"), QStringLiteral("1.03.0006"),
                   QStringLiteral("--item"), QString::fromLatin1(kItem), QStringLiteral("--title"),
                   QStringLiteral("Lampe"), QStringLiteral("--ends-in"), QString::number(kEndsIn),
                   QStringLiteral("--price"), QStringLiteral("1")});
  for (int i = 0; i < 100 && !simulator.canReadLine(); ++i) simulator.waitForReadyRead(50);
  const QString listening = QString::fromLatin1(simulator.readLine()).trimmed();
  const QString base = QStringLiteral("http://127.0.0.1:") + listening.section(QChar(' '), -1);
  const QString title = pageTitle(base);
  const qint64 end = endFromTitle(title);
  if (end < 0) {
    bench::say(QStringLiteral("bench_program: no item page from the simulator (") + listening +
               QStringLiteral(")"));
    stop(simulator);
    return 1;
  }

  // The browser with the auction page.
  QWidget browser;
  browser.setWindowTitle(title + QStringLiteral(" - Browser"));
  browser.resize(640, 400);
  browser.move(300, 200);
  browser.show();
  bench::waitFor([&] { return browser.isVisible(); }, 2000);
  bench::waitMs(500);

  // Start-up: the program takes the auction over from the browser and shows its window.
  bench::say(QStringLiteral("start-up: %1 starts...").arg(startups));
  std::vector<double> startupMs;
  for (int i = 0; i < startups; ++i) {
    Installation inst(base);
    QProcess program;
    const double ms = start(program, programPath, inst, watch, nullptr);
    if (ms < 0)
      problems.append(QStringLiteral("start %1: no main window").arg(i));
    else
      startupMs.push_back(ms);
    bench::waitMs(300);
    stop(program);
  }

  // One countdown through its last minute, the bid and the pause after it.
  bench::say(QStringLiteral("a countdown of the real program: about %1 s...")
                 .arg((end - QDateTime::currentMSecsSinceEpoch()) / 1000 + 2));
  Installation inst(base);
  QProcess program;
  uint32_t window = 0;
  const double ms = start(program, programPath, inst, watch, &window);
  if (ms >= 0) startupMs.push_back(ms);
  const qint64 pid = program.processId();
  bench::waitMs(1500);
  const double rssStart = bench::residentMiB(pid);
  const QString w = QString::number(window);
  xdotool({"windowactivate", "--sync", w});
  xdotool({"mousemove", "--window", w, "40", "157", "click", "1"});
  xdotool({"type", "--delay", "30", "5"});
  xdotool({"key", "Return"});
  if (!bench::waitFor([&] { return inst.log().contains(QStringLiteral("scharfgestellt")); }, 3000))
    problems.append(QStringLiteral("the program could not be armed"));

  CpuWindow countdown, pause;
  waitUntil(end - 58000);
  countdown.begin(pid);
  waitUntil(end - (kSecondsBeforeEnd + 1) * 1000);
  countdown.end(pid);
  waitUntil(end - (kSecondsBeforeEnd - 2) * 1000);
  pause.begin(pid);
  waitUntil(end - 2000);
  pause.end(pid);
  const double rssAfterBid = bench::residentMiB(pid);
  waitUntil(end + 1500);
  const QString log = inst.log();
  if (!log.contains(QStringLiteral("Bieten Teil 2/2 - Höchstgebot abgegeben")) ||
      !log.contains(QStringLiteral("Bieten abgeschlossen")))
    problems.append(QStringLiteral("the bid did not end as high bidder"));
  stop(program);
  stop(simulator);

  bench::say(QStringLiteral("a spinning wait for comparison: 5 s..."));
  const double spinning = spinningPercent(5);
  for (const QString& p : problems) bench::say(QStringLiteral("  problem: ") + p);

  QJsonArray samples;
  for (double s : startupMs) samples.append(s);
  const QJsonObject result{
      {QStringLiteral("startup_ms"), bench::median(startupMs)},
      {QStringLiteral("startup_samples_ms"), samples},
      {QStringLiteral("rss_start_mb"), rssStart},
      {QStringLiteral("rss_after_bid_mb"), rssAfterBid},
      {QStringLiteral("cpu_countdown_pct"), countdown.percent()},
      {QStringLiteral("cpu_countdown_seconds"), (countdown.t1 - countdown.t0) / 1000.0},
      {QStringLiteral("cpu_pause_pct"), pause.percent()},
      {QStringLiteral("cpu_pause_seconds"), (pause.t1 - pause.t0) / 1000.0},
      {QStringLiteral("cpu_spinning_pct"), spinning},
      {QStringLiteral("problems"), QJsonArray::fromStringList(problems)}};
  return bench::writeJson(out, result) && problems.isEmpty() ? 0 : 1;
}
