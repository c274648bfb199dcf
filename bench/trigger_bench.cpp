// Trigger precision and bid transaction time: real countdowns of the main window (the real
// clock, the real transfer component, the real error boxes) against the simulator on loopback,
// both in this process. Each countdown arms on a fresh auction that ends a few seconds later
// with one second before the end as the setting, with no connection of the transfer component
// left open; the simulator's request log tells when the bid's first request arrived and when
// its connection was accepted.
//
// The benchmark build marks the stages of the bid's way (app/stagemarks.h); this program
// receives the marks and breaks each trigger down: the timer's lateness after the second
// boundary, the window's label, the log lines, the repaint, building the request, the
// connection's set-up and the transfer; the transfer in two parts, split where Qt's network
// thread writes the request into its socket (socketwrites.h).
//
// Between those countdowns, the limit they are measured against (rawrequest.h): the same
// step-1 request written by hand on a connection open a while, to its arrival.
//
// Then countdowns against a simulator that serves a new connection only after 100 ms (a
// stand-in for the handshakes of a real network), with the connection opened before the
// trigger and without; and two snipes 10 s before the end whose first step-1 connection never
// answers: one with the bid's transfers bounded by the auction's end, one with the transfer
// component's 60 s time-out alone; measured is when the window shows the outcome.
//
//   bench_trigger [--countdowns N] [--raw-per-countdown N] [--ticks-only N] [--delayed N]
//                 [--no-stalled] --out FILE
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <chrono>
#include <map>

#include "app/appstate.h"
#include "app/dateserial.h"
#include "app/scramble.h"
#include "app/settings.h"
#include "app/stagemarks.h"
#include "benchclock.h"
#include "benchcommon.h"
#include "benchsite.h"
#include "benchwindow.h"
#include "bidding/bidlimits.h"
#include "bidding/inet.h"
#include "bidding/transfer.h"
#include "platform/linux/systemclockbackend.h"
#include "rawrequest.h"
#include "realservices.h"
#include "simulator.h"
#include "sniper/form1.h"
#include "socketwrites.h"

// Milliseconds since the epoch to the microsecond, on the clock the simulator's log uses.
double preciseNowMs() {
  using namespace std::chrono;
  return double(duration_cast<microseconds>(system_clock::now().time_since_epoch()).count()) /
         1000.0;
}

// The marks of the bid's way, as the program passes them (only while a countdown records).
namespace {
bool g_recording = false;
std::vector<std::pair<QByteArray, double>> g_marks;
}  // namespace

void stagemarks::reached(const char* stage) {
  if (g_recording) g_marks.emplace_back(QByteArray(stage), preciseNowMs());
}

namespace {

constexpr int kSecondsBeforeEnd = 1;
constexpr int kConnectDelayMs = 100;

// The stages of a trigger, in their order on the bid's way; together they make up the whole
// time from the trigger second's start to the arrival of the bid's first request.
const char* const kStages[] = {
    "timer lateness",    "label",   "log lines", "repaint", "building the request",
    "connection set-up", "transfer"};
// The transfer's two parts: to the request's write into the socket (the program's: Qt's network
// thread), and from there to the arrival (loopback and the simulator).
const char* const kTransferParts[] = {"transfer to the socket", "transfer from the socket"};

struct Sample {
  double triggerMs = -1;  // trigger second's start to the first request's arrival
  double bidMs = -1;      // trigger second's start to the second reply, completely received
  double shownMs = 0;     // the auction's end to the window showing the bid's outcome
  bool shown = false;
  QString outcome;  // the code the vendor report carried
  // The first request's connection was accepted at least a second before the trigger second.
  bool warmConnection = false;
  std::map<QString, double> stages;  // kStages -> ms; empty when a mark is missing
  QJsonObject step1;                 // the bid's first request as the simulator logged it
};

// Splits a trigger into its stages from the marks after the trigger second's start, the first
// request's write into its socket and arrival, and when its connection was accepted (all in ms
// since the epoch).
std::map<QString, double> breakDown(const std::vector<std::pair<QByteArray, double>>& marks,
                                    double triggerSecond, double written, double arrival,
                                    double accepted, double connectDelayMs) {
  std::map<QByteArray, double> at;  // the first of each mark from the bid on
  for (const auto& [stage, t] : marks)
    if ((at.count("bid due") || stage == "bid due") && !at.count(stage)) at[stage] = t;
  for (const char* m :
       {"bid due", "label", "log lines", "repaint", "pass log line", "request handed over"})
    if (!at.count(m)) return {};
  if (written < at["request handed over"] || written > arrival) return {};
  const double handed = at["request handed over"];
  // A connection accepted before the request was handed over cost the bid nothing; one
  // accepted afterwards cost the time until it was served.
  const double setup = std::max(0.0, accepted + connectDelayMs - handed);
  return {{kStages[0], at["bid due"] - triggerSecond},
          {kStages[1], at["label"] - at["bid due"]},
          {kStages[2], at["log lines"] - at["label"] + at["pass log line"] - at["repaint"]},
          {kStages[3], at["repaint"] - at["log lines"]},
          {kStages[4], handed - at["pass log line"]},
          {kStages[5], setup},
          {kStages[6], arrival - handed - setup},
          {kTransferParts[0], written - handed - setup},
          {kTransferParts[1], arrival - written}};
}

constexpr int kStalledSecondsBeforeEnd = 10;

// Day serial of an instant in local time, whole seconds.
double localSerial(qint64 epochMs) {
  const QDateTime t = QDateTime::fromMSecsSinceEpoch(epochMs);
  return dateserial::fromParts({t.date().year(), t.date().month(), t.date().day(), t.time().hour(),
                                t.time().minute(), t.time().second()});
}

// Calls `painting` before every paint of a widget.
class PaintWatch : public QObject {
 public:
  PaintWatch(QWidget* widget, std::function<void()> painting) : m_painting(std::move(painting)) {
    widget->installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) m_painting();
    return false;
  }

 private:
  std::function<void()> m_painting;
};

class Harness : bench::BenchWindow {
 public:
  Harness(const QString& home, sim::Simulator& simulator, const QString& requestLogPath)
      : BenchWindow(home, simulator, requestLogPath) {
    AppState& s = m_state;
    s.user = QString::fromLatin1(bench::kBenchUser);
    s.pass = QString::fromLatin1(bench::kBenchPassword);
    s.sectobid = QString::number(kSecondsBeforeEnd);
    s.saveuser = 1;
    // The site's clock is the computer's here; arming does not measure it (bench_siteclock
    // does), so the figure is the countdown's own.
    s.siteTimeMeasuring = true;
    s.endpoints.classicSiteNamed = true;  // as an endpoints.ini naming the simulator makes it
    showWindow();
    // Completed replies of the transfer component, in the order they came.
    QObject::connect(&m_inet1, &Inet::StateChanged, [this](int state) {
      if (state == Inet::kResponseCompleted)
        m_completions.push_back(QDateTime::currentMSecsSinceEpoch());
    });
  }

  // The countdown no longer evaluates at the trigger second itself; only the ticks remain.
  void ticksOnly() {
    QObject::disconnect(control<QTimer>("TriggerTimer"), &QTimer::timeout, nullptr, nullptr);
  }

  // From now on the bid's transfers wait for the transfer component's time-out alone.
  void unbounded() { m_state.bidLimits = bidlimits::Rules::unbounded(); }

  // Whether the connection to the bid's host is opened before the trigger (as the program
  // does), or only by the bid.
  void warmUp(bool on) { m_state.bidLimits.warmUpMs = on ? bidlimits::Rules().warmUpMs : 0; }

  // One countdown on auction number `n`, from arming to the outcome shown after the end; the
  // bid `secondsBefore` the end of an auction that ends `endsIn` seconds after arming.
  Sample countdown(int n, int secondsBefore = kSecondsBeforeEnd, int endsIn = 4) {
    // A random phase between the ticks and the second boundaries.
    bench::waitMs(int(QRandomGenerator::global()->bounded(1000)));
    const qint64 end = (QDateTime::currentMSecsSinceEpoch() / 1000 + endsIn) * 1000;
    const qint64 triggerSecond = end - secondsBefore * 1000;
    const std::string id = std::to_string(1000000000LL + n);
    {
      std::lock_guard<std::mutex> lock(m_sim.mutex());
      sim::Item* item = m_sim.findItem(id);
      item->endMs = end + 500;  // the site closes a moment after the end the title shows
    }
    AppState& s = m_state;
    s.sectobid = QString::number(secondsBefore);
    s.ItemID = QString::fromStdString(id);
    s.AuktionTitel = QStringLiteral("Lampe %1").arg(n);
    s.endet = localSerial(end);
    s.lastFailingProcedure.clear();
    control<QWidget>("Txt_maxbid")->show();
    control<QWidget>("Command1")->show();
    control<QLineEdit>("Txt_maxbid")->setText(QStringLiteral("5"));
    // No connection of an earlier countdown is left: each bid starts as after a quiet while.
    m_inet1.openFreshConnection();
    m_form->Command1_Click();  // arms
    m_completions.clear();
    g_marks.clear();
    g_recording = true;
    socketwrites::watchFor("POST /ws/eBayISAPI.dll HTTP");
    const qsizetype requestsBefore = bench::requestLog(m_log).size();
    // The outcome is shown when "Gebot wird abgegeben..." gives way to the next text.
    Sample sample;
    bool bidding = false;
    // Looked at whenever the label paints (no timer of the harness's own wakes the program).
    PaintWatch watch(control<QWidget>("LabelZeit"), [&] {
      const bool nowBidding = m_form->labelZeitCaption().startsWith(QStringLiteral("Gebot wird"));
      if (bidding && !nowBidding && !sample.shown) {
        sample.shown = true;
        sample.shownMs = double(QDateTime::currentMSecsSinceEpoch() - end);
      }
      bidding = nowBidding;
    });
    m_form->Update_Label();  // the countdown starts, as after taking an item over
    bench::waitFor([&] { return !m_form->timer1Enabled(); }, (endsIn + 75) * 1000, 20);
    g_recording = false;
    std::vector<std::pair<QByteArray, double>> marks;
    for (const auto& m : g_marks)
      if (m.second >= double(triggerSecond) - 1000) marks.push_back(m);

    const QList<QJsonObject> requests = bench::requestLog(m_log).mid(requestsBefore);
    for (const QJsonObject& r : requests) {
      const QString body = r[QStringLiteral("body")].toString();
      if (sample.triggerMs < 0 && body.contains(QStringLiteral("MakeBid&item=") + s.ItemID)) {
        const double arrival = r[QStringLiteral("arrival_ms")].toDouble();
        const double accepted = r[QStringLiteral("connection_accepted_ms")].toDouble();
        sample.triggerMs = arrival - double(triggerSecond);
        sample.step1 = r;
        sample.warmConnection = accepted <= double(triggerSecond) - 1000;
        sample.stages = breakDown(marks, double(triggerSecond), socketwrites::noted(), arrival,
                                  accepted, double(m_sim.connectDelayMs.load()));
      }
      if (r[QStringLiteral("path")].toString() == QLatin1String("/files/update+"))
        sample.outcome = r[QStringLiteral("headers")]
                             .toObject()[QStringLiteral("User-Agent")]
                             .toString()
                             .section(QStringLiteral(" - "), -1);
    }
    if (m_completions.size() >= 2) sample.bidMs = double(m_completions[1] - triggerSecond);
    if (!s.lastFailingProcedure.isEmpty()) sample.outcome += QStringLiteral(" error box");
    return sample;
  }

 private:
  std::vector<qint64> m_completions;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("GebotsfalkePlus"));
  QApplication::setQuitOnLastWindowClosed(false);
  const QStringList args = QApplication::arguments();
  const int countdowns = bench::argument(args, "--countdowns", QStringLiteral("25")).toInt();
  const int rawPerCountdown =
      bench::argument(args, "--raw-per-countdown", QStringLiteral("2")).toInt();
  const int ticksOnlyCountdowns =
      bench::argument(args, "--ticks-only", QStringLiteral("10")).toInt();
  const int delayedCountdowns = bench::argument(args, "--delayed", QStringLiteral("5")).toInt();
  const int stalledCountdowns = args.contains(QStringLiteral("--no-stalled")) ? 0 : 2;
  const QString out = bench::argument(args, "--out");
  if (out.isEmpty()) {
    bench::say(
        QStringLiteral("usage: bench_trigger [--countdowns N] [--raw-per-countdown N] "
                       "[--ticks-only N] [--delayed N] [--no-stalled] --out FILE"));
    return 2;
  }

  const int items = countdowns + 2 * delayedCountdowns + ticksOnlyCountdowns + stalledCountdowns;
  bench::BenchSite site(items);
  const QString& logPath = site.logPath;
  sim::Simulator simulator(site.config);
  if (simulator.start() < 0) {
    bench::say(QStringLiteral("bench_trigger: the simulator cannot listen"));
    return 1;
  }

  Harness harness(site.home.path(), simulator, logPath);
  bench::RawRequests rawRequests(simulator, logPath, site.rawItem);
  bench::RawRequests::Samples raw;
  std::vector<double> trigger, bid, ticksTrigger, delayedWarm, delayedCold;
  std::map<QString, std::vector<double>> stages;
  QJsonArray stageSamples;  // each countdown's stages
  int warmConnections = 0;
  QStringList problems;
  int n = 0;
  // A countdown whose bid must come out as the high bid; its trigger, or -1.
  auto run = [&](const QString& kind) {
    const Sample s = harness.countdown(n++);
    if (s.triggerMs < 0 || s.outcome != QLatin1String("hb")) {
      problems.append(
          QStringLiteral("countdown %1 (%2): outcome '%3'").arg(n - 1).arg(kind, s.outcome));
      return Sample{};
    }
    return s;
  };

  bench::say(QStringLiteral("trigger precision: %1 countdowns...").arg(countdowns));
  for (int i = 0; i < countdowns; ++i) {
    const Sample s = run(QStringLiteral("trigger"));
    if (s.triggerMs < 0) continue;
    trigger.push_back(s.triggerMs);
    bid.push_back(s.bidMs);
    warmConnections += s.warmConnection ? 1 : 0;
    if (s.stages.empty())
      problems.append(QStringLiteral("countdown %1: a stage mark is missing").arg(n - 1));
    QJsonObject perStage;
    for (const auto& [stage, ms] : s.stages) {
      stages[stage].push_back(ms);
      perStage.insert(stage, ms);
    }
    stageSamples.append(perStage);
    // The limit, right after: the machine as busy as it was for this trigger.
    rawRequests.setRequest(s.step1);
    const QString rawProblem = rawRequests.measure(rawPerCountdown, raw);
    if (!rawProblem.isEmpty()) problems.append(rawProblem);
  }

  bench::say(QStringLiteral("new connections served after %1 ms: %2 countdowns with the "
                            "connection opened before the trigger, %2 without...")
                 .arg(kConnectDelayMs)
                 .arg(delayedCountdowns));
  simulator.connectDelayMs = kConnectDelayMs;
  for (int i = 0; i < delayedCountdowns; ++i) {
    const Sample s = run(QStringLiteral("connect delay"));
    if (s.triggerMs >= 0) delayedWarm.push_back(s.triggerMs);
  }
  harness.warmUp(false);
  for (int i = 0; i < delayedCountdowns; ++i) {
    const Sample s = run(QStringLiteral("connect delay, no warm-up"));
    if (s.triggerMs >= 0) delayedCold.push_back(s.triggerMs);
  }
  harness.warmUp(true);
  simulator.connectDelayMs = 0;

  bench::say(
      QStringLiteral("the same with the ticks alone: %1 countdowns...").arg(ticksOnlyCountdowns));
  harness.ticksOnly();
  for (int i = 0; i < ticksOnlyCountdowns; ++i) {
    const Sample s = run(QStringLiteral("ticks only"));
    if (s.triggerMs >= 0) ticksTrigger.push_back(s.triggerMs);
  }
  // The first step-1 connection of each item never answers.
  {
    std::lock_guard<std::mutex> lock(simulator.mutex());
    simulator.config().faultStep = 1;
    simulator.config().fault = "hang-once";
  }
  QJsonObject stalled;
  if (stalledCountdowns > 0) {
    bench::say(QStringLiteral("a stalled first connection, %1 s before the end: bounded by the "
                              "auction, then with the 60 s time-out alone...")
                   .arg(kStalledSecondsBeforeEnd));
    const Sample bounded = harness.countdown(n++, kStalledSecondsBeforeEnd, 13);
    harness.unbounded();
    const Sample alone = harness.countdown(n++, kStalledSecondsBeforeEnd, 13);
    if (!bounded.shown || bounded.outcome != QLatin1String("hb"))
      problems.append(QStringLiteral("stalled connection: outcome '%1'").arg(bounded.outcome));
    stalled = {{QStringLiteral("stalled_step1_outcome_s"),
                bounded.shown ? bounded.shownMs / 1000.0 : QJsonValue()},
               {QStringLiteral("stalled_step1_code"), bounded.outcome},
               {QStringLiteral("stalled_step1_timeout_alone_s"),
                alone.shown ? alone.shownMs / 1000.0 : QJsonValue()},
               {QStringLiteral("stalled_step1_timeout_alone_code"), alone.outcome}};
  }
  simulator.stop();
  for (const QString& p : problems) bench::say(QStringLiteral("  problem: ") + p);

  // The stages in their order, then the transfer's parts: median and mean of each.
  QJsonArray breakdown;
  auto addStage = [&](const char* name, bool transferPart) {
    const std::vector<double>& v = stages[QString::fromLatin1(name)];
    double sum = 0;
    for (double x : v) sum += x;
    QJsonObject stage{{QStringLiteral("stage"), QString::fromLatin1(name)},
                      {QStringLiteral("median_ms"), bench::median(v)},
                      {QStringLiteral("mean_ms"), v.empty() ? -1 : sum / v.size()},
                      {QStringLiteral("worst_ms"), bench::worst(v)}};
    if (transferPart) stage.insert(QStringLiteral("part_of"), QStringLiteral("transfer"));
    breakdown.append(stage);
  };
  for (const char* name : kStages) addStage(name, false);
  for (const char* name : kTransferParts) addStage(name, true);
  QJsonObject result{{QStringLiteral("countdowns"), int(trigger.size())},
                     {QStringLiteral("trigger_median_ms"), bench::median(trigger)},
                     {QStringLiteral("trigger_worst_ms"), bench::worst(trigger)},
                     {QStringLiteral("trigger_samples_ms"), bench::toArray(trigger)},
                     {QStringLiteral("trigger_breakdown"), breakdown},
                     {QStringLiteral("raw_requests"), int(raw.limit.size())},
                     {QStringLiteral("raw_request_median_ms"), bench::median(raw.limit)},
                     {QStringLiteral("raw_request_worst_ms"), bench::worst(raw.limit)},
                     {QStringLiteral("raw_request_samples_ms"), bench::toArray(raw.limit)},
                     {QStringLiteral("raw_write_median_ms"), bench::median(raw.fromWrite)},
                     {QStringLiteral("raw_write_samples_ms"), bench::toArray(raw.fromWrite)},
                     {QStringLiteral("trigger_breakdown_samples"), stageSamples},
                     {QStringLiteral("warm_connection_pct"),
                      trigger.empty() ? -1 : 100.0 * warmConnections / double(trigger.size())},
                     {QStringLiteral("bid_median_ms"), bench::median(bid)},
                     {QStringLiteral("bid_worst_ms"), bench::worst(bid)},
                     {QStringLiteral("bid_samples_ms"), bench::toArray(bid)},
                     {QStringLiteral("connect_delay_ms"), kConnectDelayMs},
                     {QStringLiteral("delayed_countdowns"), int(delayedWarm.size())},
                     {QStringLiteral("trigger_median_delay_ms"), bench::median(delayedWarm)},
                     {QStringLiteral("trigger_delay_samples_ms"), bench::toArray(delayedWarm)},
                     {QStringLiteral("trigger_median_delay_cold_ms"), bench::median(delayedCold)},
                     {QStringLiteral("trigger_delay_cold_samples_ms"), bench::toArray(delayedCold)},
                     {QStringLiteral("ticks_only_countdowns"), int(ticksTrigger.size())},
                     {QStringLiteral("ticks_only_median_ms"), bench::median(ticksTrigger)},
                     {QStringLiteral("ticks_only_worst_ms"), bench::worst(ticksTrigger)},
                     {QStringLiteral("ticks_only_samples_ms"), bench::toArray(ticksTrigger)},
                     {QStringLiteral("problems"), QJsonArray::fromStringList(problems)}};
  for (auto it = stalled.begin(); it != stalled.end(); ++it) result.insert(it.key(), it.value());
  return bench::writeJson(out, result) && problems.isEmpty() ? 0 : 1;
}
