// The auction site's clock as the program measures it, and the trigger it gives, against the
// simulator on loopback whose clock runs a fractional lead ahead of this computer's. The real
// clock, transfer components and main window, all in this process; the computer's clock may
// not be set (as for a normal user), so the program keeps the site's lead.
//
//  - offset: the program's own measurement (the one arming starts) against the simulator's
//    lead of 90.4 s plus a random fraction, `--measurements` times; the error of the lead it
//    found, and of the first page read alone in whole seconds (the comparison).
//  - site trigger: countdowns, each after its own "Uhr synchronisieren" with the site 90.4 s
//    ahead, armed one second before the end on auctions ending by the site's clock; from the
//    site's trigger second to the first bid request's arrival (the simulator's request log, site
//    time). The comparison: the same countdowns with the lead of the whole-second reading.
//    Between the countdowns, the limit they are measured against (rawrequest.h): the same
//    step-1 request written by hand, to its arrival.
//
//   bench_siteclock [--measurements N] [--countdowns N] --out FILE
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdlib>

#include "app/appstate.h"
#include "app/dateserial.h"
#include "app/scramble.h"
#include "app/settings.h"
#include "benchclock.h"
#include "benchcommon.h"
#include "benchsite.h"
#include "benchwindow.h"
#include "bidding/inet.h"
#include "bidding/transfer.h"
#include "platform/linux/systemclockbackend.h"
#include "rawrequest.h"
#include "realservices.h"
#include "simulator.h"
#include "sniper/form1.h"
#include "timesync/gettime.h"
#include "timesync/siteprobe.h"
#include "timesync/timepage.h"

namespace {

constexpr qint64 kLeadMs = 90400;
constexpr int kSecondsBeforeEnd = 1;

// Local (German) date-time serial of an instant, whole seconds, as the site's titles show it.
double localSerial(qint64 epochMs) {
  const QDateTime t = QDateTime::fromMSecsSinceEpoch(epochMs);
  return dateserial::fromParts({t.date().year(), t.date().month(), t.date().day(), t.time().hour(),
                                t.time().minute(), t.time().second()});
}

std::vector<double> magnitudes(std::vector<double> v) {
  for (double& x : v) x = std::abs(x);
  return v;
}

class Harness : bench::BenchWindow {
 public:
  Harness(const QString& home, sim::Simulator& simulator, const QString& requestLog)
      : BenchWindow(home, simulator, requestLog) {
    AppState& s = m_state;
    s.user = QString::fromLatin1(bench::kBenchUser);
    s.pass = QString::fromLatin1(bench::kBenchPassword);
    s.sectobid = QString::number(kSecondsBeforeEnd);
    s.msgonsync = 0;
    s.saveuser = 1;
    s.endpoints.classicSiteNamed = true;  // as an endpoints.ini naming the simulator makes it
    showWindow();
  }

  QtClock& clock() { return m_real.clock; }

  // The measurement arming starts: the lead it found and the whole-second reading's, the
  // requests it took and how long.
  struct Measurement {
    bool ok = false;
    qint64 leadMs = 0, wholeSecondLeadMs = 0;
    int requests = 0;
    double seconds = 0;
  };
  Measurement measure() {
    SiteTimeProbe probe(m_real.clock, m_state.region, m_state.endpoints.timeHost + timepage::kPath);
    QEventLoop loop;
    QObject::connect(&probe, &SiteTimeProbe::finished, &loop, &QEventLoop::quit);
    QElapsedTimer took;
    took.start();
    probe.measure();
    if (probe.running()) loop.exec();
    Measurement m;
    m.ok = probe.measured();
    m.leadMs = probe.estimate().leadMs;
    m.wholeSecondLeadMs = probe.estimate().wholeSecondLeadMs;
    m.requests = probe.estimate().probes + 1;
    m.seconds = double(took.elapsed()) / 1000.0;
    return m;
  }

  // "Uhr synchronisieren" as the user clicks it (no box: msgonsync is 0).
  void synchronise() { get_time(m_ctx, *m_form, m_form.get()); }

  // One countdown on auction `n`, ending a few seconds from now by the site's clock: from the
  // site's trigger second to the first bid request's arrival, -1e9 when none came. `step1`
  // receives that request as the simulator logged it.
  double countdown(int n, QJsonObject* step1 = nullptr) {
    bench::waitMs(int(QRandomGenerator::global()->bounded(1000)));
    const qint64 end = (m_sim.siteNowMs() / 1000 + 4) * 1000;
    const qint64 triggerSecond = end - kSecondsBeforeEnd * 1000;
    const std::string id = std::to_string(1000000000LL + n);
    {
      std::lock_guard<std::mutex> lock(m_sim.mutex());
      m_sim.findItem(id)->endMs = end + 500;  // the site closes a moment after the title's end
    }
    AppState& s = m_state;
    s.ItemID = QString::fromStdString(id);
    s.AuktionTitel = QStringLiteral("Lampe %1").arg(n);
    s.endet = localSerial(end);
    auto* amount = m_form->findChild<QLineEdit*>(QStringLiteral("Txt_maxbid"));
    auto* button = m_form->findChild<QPushButton*>(QStringLiteral("Command1"));
    amount->show();
    button->show();
    amount->setText(QStringLiteral("5"));
    button->click();  // arms
    const qsizetype before = requests().size();
    m_form->Update_Label();  // the countdown starts, as after taking an item over
    bench::waitFor([&] { return !m_form->timer1Enabled(); }, 10000, 20);
    for (const QJsonObject& r : requests().mid(before))
      if (r[QStringLiteral("body")].toString().contains(QStringLiteral("MakeBid&item=") +
                                                        s.ItemID)) {
        if (step1) *step1 = r;
        return r[QStringLiteral("arrival_ms")].toDouble() - double(triggerSecond);
      }
    return -1e9;
  }

 private:
  QList<QJsonObject> requests() const { return bench::requestLog(m_log); }
};

}  // namespace

int main(int argc, char** argv) {
  // The site writes German time; the program reads local time.
  setenv("TZ", "Europe/Berlin", 1);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("GebotsfalkePlus"));
  QApplication::setQuitOnLastWindowClosed(false);
  const QStringList args = QApplication::arguments();
  const int measurements = bench::argument(args, "--measurements", QStringLiteral("10")).toInt();
  const int countdowns = bench::argument(args, "--countdowns", QStringLiteral("10")).toInt();
  const int comparisons = 5;
  const QString out = bench::argument(args, "--out");
  if (out.isEmpty()) {
    bench::say(
        QStringLiteral("usage: bench_siteclock [--measurements N] [--countdowns N] "
                       "--out FILE"));
    return 2;
  }

  bench::BenchSite site(countdowns + comparisons, kLeadMs);
  const QString& logPath = site.logPath;
  sim::Simulator simulator(site.config);
  if (simulator.start() < 0) {
    bench::say(QStringLiteral("bench_siteclock: the simulator cannot listen"));
    return 1;
  }
  Harness harness(site.home.path(), simulator, logPath);
  QStringList problems;

  bench::say(QStringLiteral("site clock: %1 measurements...").arg(measurements));
  std::vector<double> error, wholeSecondError, requests, seconds;
  for (int i = 0; i < measurements; ++i) {
    const qint64 lead = kLeadMs + qint64(QRandomGenerator::global()->bounded(1000)) - 500;
    simulator.setSiteOffsetMs(lead);
    bench::waitMs(int(QRandomGenerator::global()->bounded(1000)));  // a random phase
    const Harness::Measurement m = harness.measure();
    if (!m.ok) {
      problems.append(QStringLiteral("measurement %1 found nothing").arg(i));
      continue;
    }
    error.push_back(double(m.leadMs - lead));
    wholeSecondError.push_back(double(m.wholeSecondLeadMs - lead));
    requests.push_back(m.requests);
    seconds.push_back(m.seconds);
  }

  bench::say(QStringLiteral("site trigger: %1 countdowns, each after a sync...").arg(countdowns));
  simulator.setSiteOffsetMs(kLeadMs);
  std::vector<double> trigger;
  bench::RawRequests::Samples raw;
  bench::RawRequests rawRequests(simulator, logPath, site.rawItem);
  for (int n = 0; n < countdowns; ++n) {
    // A sync of its own for each countdown: the error of one sync moves every countdown after
    // it alike, so the median over countdowns of a single sync is that sync's error, not the
    // typical one.
    harness.synchronise();
    QJsonObject step1;
    const double late = harness.countdown(n, &step1);
    if (late < -1e8) {
      problems.append(QStringLiteral("countdown %1: no bid").arg(n));
      continue;
    }
    trigger.push_back(late);
    // The limit, right after: the machine as busy as it was for this trigger.
    rawRequests.setRequest(step1);
    const QString rawProblem = rawRequests.measure(2, raw);
    if (!rawProblem.isEmpty()) problems.append(rawProblem);
  }
  bench::say(
      QStringLiteral("the same with the whole-second reading: %1 countdowns...").arg(comparisons));
  const Harness::Measurement m = harness.measure();
  bench::UnsettableClock unsettable;
  harness.clock().adoptSiteLead(m.wholeSecondLeadMs, unsettable);
  std::vector<double> wholeSecondTrigger;
  for (int n = countdowns; n < countdowns + comparisons; ++n) {
    const double late = harness.countdown(n);
    if (late < -1e8)
      problems.append(QStringLiteral("countdown %1: no bid").arg(n));
    else
      wholeSecondTrigger.push_back(late);
  }
  simulator.stop();
  for (const QString& p : problems) bench::say(QStringLiteral("  problem: ") + p);

  const QJsonObject result{
      {QStringLiteral("offset_measurements"), int(error.size())},
      {QStringLiteral("offset_error_median_ms"), bench::median(magnitudes(error))},
      {QStringLiteral("offset_error_worst_ms"), bench::worst(magnitudes(error))},
      {QStringLiteral("offset_error_samples_ms"), bench::toArray(error)},
      {QStringLiteral("offset_whole_second_median_ms"),
       bench::median(magnitudes(wholeSecondError))},
      {QStringLiteral("offset_whole_second_worst_ms"), bench::worst(magnitudes(wholeSecondError))},
      {QStringLiteral("offset_whole_second_samples_ms"), bench::toArray(wholeSecondError)},
      {QStringLiteral("offset_requests_median"), bench::median(requests)},
      {QStringLiteral("offset_seconds_median"), bench::median(seconds)},
      {QStringLiteral("site_trigger_countdowns"), int(trigger.size())},
      {QStringLiteral("site_trigger_median_ms"), bench::median(trigger)},
      {QStringLiteral("site_trigger_worst_ms"), bench::worst(trigger)},
      {QStringLiteral("site_trigger_samples_ms"), bench::toArray(trigger)},
      {QStringLiteral("site_raw_requests"), int(raw.limit.size())},
      {QStringLiteral("site_raw_request_median_ms"), bench::median(raw.limit)},
      {QStringLiteral("site_raw_request_samples_ms"), bench::toArray(raw.limit)},
      {QStringLiteral("site_trigger_whole_second_median_ms"), bench::median(wholeSecondTrigger)},
      {QStringLiteral("site_trigger_whole_second_samples_ms"), bench::toArray(wholeSecondTrigger)},
      {QStringLiteral("problems"), QJsonArray::fromStringList(problems)}};
  return bench::writeJson(out, result) && problems.isEmpty() ? 0 : 1;
}
