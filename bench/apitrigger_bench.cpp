// The bid through eBay's API at the trigger: real countdowns of the main window on the API
// route (the user's keyset, signed in through the simulator's consent page, the user token
// fresh) against the simulator on loopback, both in this process; from the trigger second's
// start to the arrival of place_proxy_bid in the simulator's request log. Each countdown waits
// for eBay's verdict after the end, so that none reaches into the next one.
//
// Between those countdowns, the limit they are measured against (rawrequest.h): the same
// place_proxy_bid, byte for byte, written by hand on a connection open a while.
//
// Then one countdown armed 70 s before its trigger with a user token whose ordinary renewal
// would fall in the minute before it. Counted over the whole run: the token renewals that
// reached the simulator in the minute before a trigger (the program renews well before).
//
//   bench_apitrigger [--countdowns N] [--raw-per-countdown N] [--no-quiet-minute] --out FILE
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <memory>

#include "app/appstate.h"
#include "app/dateserial.h"
#include "app/scramble.h"
#include "app/settings.h"
#include "benchcommon.h"
#include "benchsite.h"
#include "benchwindow.h"
#include "bidding/inet.h"
#include "bidding/transfer.h"
#include "ebay/oauthclient.h"
#include "ebay/transport.h"
#include "rawrequest.h"
#include "realservices.h"
#include "simulator.h"
#include "sniper/form1.h"

namespace {

const char* const kApp = "Bench-Snipe-SBX-0001";
const char* const kCert = "SBX-bench-cert";
const char* const kRuName = "Bench-Ru";
constexpr qint64 kQuietMs = 60'000;  // the minute before a trigger

double localSerial(qint64 epochMs) {
  const QDateTime t = QDateTime::fromMSecsSinceEpoch(epochMs);
  return dateserial::fromParts({t.date().year(), t.date().month(), t.date().day(), t.time().hour(),
                                t.time().minute(), t.time().second()});
}

// The user's part of the consent page: agreeing, as a browser would; the address it ends at.
QString agree(const QUrl& page) {
  QNetworkAccessManager browser;
  browser.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
  std::unique_ptr<QNetworkReply> shown(browser.get(QNetworkRequest(page)));
  if (!bench::waitFor([&] { return shown->isFinished(); }, 10000)) return {};
  QUrlQuery form(page.query());
  form.addQueryItem(QStringLiteral("userid"), QString::fromLatin1(bench::kBenchUser));
  form.addQueryItem(QStringLiteral("pass"), QString::fromLatin1(bench::kBenchPassword));
  form.addQueryItem(QStringLiteral("decision"), QStringLiteral("agree"));
  QNetworkRequest post(page.adjusted(QUrl::RemoveQuery));
  post.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
  std::unique_ptr<QNetworkReply> agreed(
      browser.post(post, form.toString(QUrl::FullyEncoded).toUtf8()));
  if (!bench::waitFor([&] { return agreed->isFinished(); }, 10000)) return {};
  return QString::fromUtf8(agreed->rawHeader("Location"));
}

struct Sample {
  double triggerMs = -1;        // trigger second's start to the arrival of place_proxy_bid
  bool warmConnection = false;  // its connection was accepted a second before the trigger
  QString outcome;              // the code the vendor report carried
  QJsonObject bid;              // place_proxy_bid as the simulator logged it
  QString problem;
};

class Harness : bench::BenchWindow {
 public:
  Harness(const QString& home, sim::Simulator& simulator, const QString& requestLogPath)
      : BenchWindow(home, simulator, requestLogPath) {
    AppState& s = m_state;
    s.siteTimeMeasuring = true;  // the site's clock is the computer's here
    s.endpoints.ebayApiHost = s.endpoints.ebayAuthHost = s.endpoints.offerHost;
    ebay::Account& a = s.ebay;
    a.loaded = true;  // the keyset as the eBay-Zugang dialog leaves it, in memory only
    a.keyset.appId = QString::fromLatin1(kApp);
    a.keyset.certId = QString::fromLatin1(kCert);
    a.keyset.ruName = QString::fromLatin1(kRuName);
    showWindow();
  }

  // Signs in through the simulator's consent page; false when no user token came.
  bool signIn() {
    ebay::Account& a = m_state.ebay;
    ebay::Transport transport;
    ebay::OAuthClient oauth(a, ebay::hostsFor(a.keyset.environment, m_state.endpoints),
                            m_real.clock, transport);
    std::optional<bool> ok;
    QObject context;
    oauth.completeSignIn(agree(oauth.consentPage()), &context,
                         [&](bool done, const QString&) { ok = done; });
    return bench::waitFor([&] { return ok.has_value(); }, 10000) && *ok &&
           a.userToken.validAt(m_real.clock.localMs());
  }

  // The program believes its user token expires `ms` from now.
  void userTokenExpiresIn(qint64 ms) {
    m_state.ebay.userToken.expiresAtMs = m_real.clock.localMs() + ms;
  }

  // One countdown on auction number `n`, armed `endsIn` seconds before its end, the bid one
  // second before it; returns after eBay's verdict is shown.
  Sample countdown(int n, int endsIn) {
    // A random phase between the ticks and the second boundaries.
    bench::waitMs(int(QRandomGenerator::global()->bounded(1000)));
    const qint64 end = (QDateTime::currentMSecsSinceEpoch() / 1000 + endsIn) * 1000;
    const qint64 triggerSecond = end - 1000;
    m_triggers.push_back(double(triggerSecond));
    const std::string id = std::to_string(1000000000LL + n);
    {
      std::lock_guard<std::mutex> lock(m_sim.mutex());
      m_sim.findItem(id)->endMs = end;
    }
    AppState& s = m_state;
    s.sectobid = QStringLiteral("1");
    s.ItemID = QString::fromStdString(id);
    s.AuktionTitel = QStringLiteral("Lampe %1").arg(n);
    s.endet = localSerial(end);
    control<QWidget>("Txt_maxbid")->show();
    control<QWidget>("Command1")->show();
    control<QLineEdit>("Txt_maxbid")->setText(QStringLiteral("50,00"));
    const qsizetype requestsBefore = bench::requestLog(m_log).size();
    Sample sample;
    m_form->Command1_Click();  // arms: reads the item through the Browse API first
    if (!s.armed) {
      sample.problem = QStringLiteral("countdown %1: not armed").arg(n);
      return sample;
    }
    m_form->Update_Label();
    bench::waitFor([&] { return !m_form->timer1Enabled(); }, (endsIn + 75) * 1000, 20);
    // "Auktion gewonnen!" or "Auktion nicht gewonnen": the verdict after the end.
    if (!bench::waitFor([&] { return m_form->labelZeitCaption().contains("gewonnen"); }, 90000, 20))
      sample.problem = QStringLiteral("countdown %1: no verdict after the end").arg(n);
    for (const QJsonObject& r : bench::requestLog(m_log).mid(requestsBefore)) {
      const QString path = r[QStringLiteral("path")].toString();
      if (sample.triggerMs < 0 && path.endsWith(QLatin1String("/place_proxy_bid"))) {
        sample.triggerMs = r[QStringLiteral("arrival_ms")].toDouble() - double(triggerSecond);
        sample.warmConnection =
            r[QStringLiteral("connection_accepted_ms")].toDouble() <= double(triggerSecond) - 1000;
        sample.bid = r;
      }
      if (path == QLatin1String("/files/update+"))
        sample.outcome = r[QStringLiteral("headers")]
                             .toObject()[QStringLiteral("User-Agent")]
                             .toString()
                             .section(QStringLiteral(" - "), -1);
    }
    if (sample.triggerMs < 0 && sample.problem.isEmpty())
      sample.problem = QStringLiteral("countdown %1: no place_proxy_bid").arg(n);
    return sample;
  }

  // Renewals of the user token that reached the simulator in the minute before a trigger of
  // this run, and all of them.
  std::pair<int, int> renewals() const {
    int nearTrigger = 0, all = 0;
    for (const QJsonObject& r : bench::requestLog(m_log)) {
      if (r[QStringLiteral("path")].toString() != QLatin1String("/identity/v1/oauth2/token") ||
          !r[QStringLiteral("body")].toString().contains(QLatin1String("refresh_token")))
        continue;
      ++all;
      const double at = r[QStringLiteral("arrival_ms")].toDouble();
      for (double trigger : m_triggers)
        if (at >= trigger - kQuietMs && at < trigger) {
          ++nearTrigger;
          break;
        }
    }
    return {nearTrigger, all};
  }

 private:
  std::vector<double> m_triggers;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("GebotsfalkePlus"));
  QApplication::setQuitOnLastWindowClosed(false);
  const QStringList args = QApplication::arguments();
  const int countdowns = bench::argument(args, "--countdowns", QStringLiteral("15")).toInt();
  const int rawPerCountdown =
      bench::argument(args, "--raw-per-countdown", QStringLiteral("2")).toInt();
  const bool quietMinute = !args.contains(QStringLiteral("--no-quiet-minute"));
  const QString out = bench::argument(args, "--out");
  if (out.isEmpty()) {
    bench::say(
        QStringLiteral("usage: bench_apitrigger [--countdowns N] [--raw-per-countdown N] "
                       "[--no-quiet-minute] --out FILE"));
    return 2;
  }

  bench::BenchSite site(countdowns + 1);
  const QString& logPath = site.logPath;
  site.config.ebay.appId = kApp;
  site.config.ebay.certId = kCert;
  site.config.ebay.ruName = kRuName;
  sim::Simulator simulator(site.config);
  if (simulator.start() < 0) {
    bench::say(QStringLiteral("bench_apitrigger: the simulator cannot listen"));
    return 1;
  }

  Harness harness(site.home.path(), simulator, logPath);
  QStringList problems;
  if (!harness.signIn()) problems.append(QStringLiteral("the sign-in failed"));
  bench::RawRequests rawRequests(simulator, logPath, site.rawItem);
  bench::RawRequests::Samples raw;
  std::vector<double> trigger;
  int warm = 0;
  bench::say(QStringLiteral("bids through eBay's API: %1 countdowns...").arg(countdowns));
  for (int n = 0; n < countdowns && problems.isEmpty(); ++n) {
    const Sample s = harness.countdown(n, 4);
    if (!s.problem.isEmpty()) problems.append(s.problem);
    if (s.triggerMs < 0) continue;
    trigger.push_back(s.triggerMs);
    warm += s.warmConnection ? 1 : 0;
    if (s.outcome != QLatin1String("Ahb"))
      problems.append(QStringLiteral("countdown %1: outcome '%2'").arg(n).arg(s.outcome));
    // The limit, right after: the machine as busy as it was for this trigger.
    rawRequests.setRequest(s.bid);
    const QString rawProblem = rawRequests.measure(rawPerCountdown, raw);
    if (!rawProblem.isEmpty()) problems.append(rawProblem);
  }
  if (quietMinute && problems.isEmpty()) {
    bench::say(
        QStringLiteral("armed 70 s before the trigger, the token's renewal due in the "
                       "minute before it..."));
    harness.userTokenExpiresIn(6 * 60'000);
    const Sample s = harness.countdown(countdowns, 71);
    if (!s.problem.isEmpty()) problems.append(s.problem);
  }
  simulator.stop();
  for (const QString& p : problems) bench::say(QStringLiteral("  problem: ") + p);
  const auto [nearTrigger, renewals] = harness.renewals();
  const QJsonObject result{
      {QStringLiteral("api_countdowns"), int(trigger.size())},
      {QStringLiteral("api_trigger_median_ms"), bench::median(trigger)},
      {QStringLiteral("api_trigger_worst_ms"), bench::worst(trigger)},
      {QStringLiteral("api_trigger_samples_ms"), bench::toArray(trigger)},
      {QStringLiteral("api_warm_connection_pct"),
       trigger.empty() ? -1 : 100.0 * warm / double(trigger.size())},
      {QStringLiteral("raw_api_requests"), int(raw.limit.size())},
      {QStringLiteral("raw_api_request_median_ms"), bench::median(raw.limit)},
      {QStringLiteral("raw_api_request_samples_ms"), bench::toArray(raw.limit)},
      {QStringLiteral("raw_api_write_median_ms"), bench::median(raw.fromWrite)},
      {QStringLiteral("token_refresh_within_60s_of_trigger"), nearTrigger},
      {QStringLiteral("token_refreshes"), renewals},
      {QStringLiteral("problems"), QJsonArray::fromStringList(problems)}};
  return bench::writeJson(out, result) && problems.isEmpty() ? 0 : 1;
}
