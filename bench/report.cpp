// Collects the figures of one benchmark run into one table (with the targets and the
// comparisons measured in the same run) and writes them to results.json. The triggers' targets
// are ratios to the limit measured beside them (the same request written by hand), so that
// they hold on a slower or busier machine as on this one.
//
//   bench_report --in FOLDER --results FILE
// FOLDER holds formreader.json (Google Benchmark), trigger.json, apitrigger.json,
// siteclock.json, program.json and load-start (/proc/loadavg when the run began).
#include <QCoreApplication>
#include <QJsonArray>
#include <QRegularExpression>
#include <QSysInfo>
#include <QThread>

#include <cmath>
#include <cstdio>

#include "benchcommon.h"

namespace {

QJsonObject readJson(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QJsonDocument::fromJson(f.readAll()).object();
}

// The median time of a Google Benchmark in milliseconds, NaN when it is missing or failed.
double benchmarkMs(const QJsonObject& results, const QString& name) {
  for (const QJsonValue v : results[QStringLiteral("benchmarks")].toArray()) {
    const QJsonObject b = v.toObject();
    if (b[QStringLiteral("name")].toString() != name + QStringLiteral("/repeats:5_median"))
      continue;
    if (b[QStringLiteral("error_occurred")].toBool()) return qQNaN();
    const double t = b[QStringLiteral("real_time")].toDouble();
    const QString unit = b[QStringLiteral("time_unit")].toString();
    return unit == QLatin1String("ms") ? t : unit == QLatin1String("us") ? t / 1000 : t / 1e6;
  }
  return qQNaN();
}

QString loadAverage(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("n/a");
  return QString::fromLatin1(f.readAll()).section(QChar(' '), 0, 2);
}

// The processor, its cores and the system, and the load average at the run's start and now.
QString machine(const QString& in) {
  QString model;
  QFile cpu(QStringLiteral("/proc/cpuinfo"));
  if (cpu.open(QIODevice::ReadOnly))
    for (const QByteArray& line : cpu.readAll().split('\n'))
      if (line.startsWith("model name")) {
        model = QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
        break;
      }
  return QStringLiteral("%1, %2 cores, %3 %4, load average %5 at the start, %6 at the end")
      .arg(model)
      .arg(QThread::idealThreadCount())
      .arg(QSysInfo::kernelType(), QSysInfo::kernelVersion(),
           loadAverage(in + QStringLiteral("/load-start")),
           loadAverage(QStringLiteral("/proc/loadavg")));
}

struct Row {
  QString key;
  QString label;
  double value;   // NaN: not measured
  double target;  // the value must stay below it (atLeast: reach it); NaN: no target
  const char* unit;
  QString comparison;
  bool atLeast = false;
  bool mustBeZero = false;  // a count that must be 0
};

QString number(double v, const char* unit) {
  if (qIsNaN(v)) return QStringLiteral("n/a");
  if (!*unit) return QString::number(v, 'f', 0);  // a count
  // Fractions of a millisecond count where the figures are a few milliseconds.
  const bool fine = QByteArray(unit) == "%" || QByteArray(unit) == "x" ||
                    (QByteArray(unit) == "ms" && std::abs(v) < 10);
  return QString::number(v, 'f', fine ? 2 : 1) + QChar(' ') + QString::fromLatin1(unit);
}

// "timer lateness" -> "timer_lateness"
QString keyPart(const QString& name) {
  QString out;
  for (const QChar c : name)
    if (c.isLetterOrNumber())
      out += c;
    else if (!out.endsWith(QChar('_')))
      out += QChar('_');
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  const QString in = bench::argument(args, "--in");
  const QString resultsPath = bench::argument(args, "--results");
  if (in.isEmpty() || resultsPath.isEmpty()) {
    bench::say(QStringLiteral("usage: bench_report --in FOLDER --results FILE"));
    return 2;
  }
  const QJsonObject fr = readJson(in + QStringLiteral("/formreader.json"));
  const QJsonObject tr = readJson(in + QStringLiteral("/trigger.json"));
  const QJsonObject pr = readJson(in + QStringLiteral("/program.json"));
  const QJsonObject sc = readJson(in + QStringLiteral("/siteclock.json"));
  const QJsonObject api = readJson(in + QStringLiteral("/apitrigger.json"));
  // Figures that cannot be below zero mark a failed measurement with -1; the others are left
  // out.
  auto get = [](const QJsonObject& o, const char* key) {
    const QJsonValue v = o[QString::fromLatin1(key)];
    return v.isDouble() && v.toDouble() >= 0 ? v.toDouble() : qQNaN();
  };
  auto getSigned = [](const QJsonObject& o, const char* key) {
    const QJsonValue v = o[QString::fromLatin1(key)];
    return v.isDouble() ? v.toDouble() : qQNaN();
  };
  const double none = qQNaN();

  const QString ticks =
      QStringLiteral("ticks alone (%1 countdowns): %2; 200 ms ticks allow up to 200 ms")
          .arg(get(tr, "ticks_only_countdowns"));
  // Signed milliseconds: the whole-second reading may put the bid before its second.
  auto signedMs = [](double v) { return QString::number(v, 'f', 0) + QStringLiteral(" ms"); };
  const QString wholeSecondOffset =
      QStringLiteral("whole-second reading: %1 median, %2 worst; %3 requests, %4 s a measurement")
          .arg(number(get(sc, "offset_whole_second_median_ms"), "ms"),
               number(get(sc, "offset_whole_second_worst_ms"), "ms"))
          .arg(get(sc, "offset_requests_median"))
          .arg(get(sc, "offset_seconds_median"), 0, 'f', 1);
  QStringList wholeSecondSamples;
  for (const QJsonValue v : sc[QStringLiteral("site_trigger_whole_second_samples_ms")].toArray())
    wholeSecondSamples.append(signedMs(v.toDouble()));
  const QString wholeSecondTrigger =
      QStringLiteral("by the whole-second reading: %1 median (%2)")
          .arg(signedMs(sc[QStringLiteral("site_trigger_whole_second_median_ms")].toDouble()),
               wholeSecondSamples.join(QStringLiteral(", ")));
  const QString spinning =
      QStringLiteral("spinning wait: ") + number(get(pr, "cpu_spinning_pct"), "%");
  const QString alone = QStringLiteral("60 s time-out alone: %1 (%2)")
                            .arg(number(getSigned(tr, "stalled_step1_timeout_alone_s"), "s"),
                                 tr[QStringLiteral("stalled_step1_timeout_alone_code")].toString());
  const QString cold =
      QStringLiteral("without opening the connection before the trigger: %1 (%2 countdowns)")
          .arg(number(get(tr, "trigger_median_delay_cold_ms"), "ms"))
          .arg(get(tr, "delayed_countdowns"));
  // The limit beside the triggers, and each trigger as a multiple of it (n/a when either is).
  const double raw = get(tr, "raw_request_median_ms");
  const double siteRaw = get(sc, "site_raw_request_median_ms");
  const double apiRaw = get(api, "raw_api_request_median_ms");
  auto over = [](double figure, double limit, const char* which) {
    return QStringLiteral("%1 / %2 %3")
        .arg(number(figure, "ms"), number(limit, "ms"), QString::fromLatin1(which));
  };
  const QString rawComparison =
      QStringLiteral(
          "step 1 written by hand at a whole second, %1 times between the countdowns; worst "
          "%2; from the write itself %3")
          .arg(get(tr, "raw_requests"))
          .arg(number(get(tr, "raw_request_worst_ms"), "ms"),
               number(get(tr, "raw_write_median_ms"), "ms"));
  QList<Row> rows = {
      {"trigger_vs_raw", "trigger / raw request, medians", get(tr, "trigger_median_ms") / raw, 2,
       "x", over(get(tr, "trigger_median_ms"), raw, "raw median")},
      {"trigger_worst_vs_raw", "worst trigger / raw request median",
       get(tr, "trigger_worst_ms") / raw, 4, "x",
       over(get(tr, "trigger_worst_ms"), raw, "raw median")},
      {"site_trigger_vs_raw", "trigger by the site's clock / raw",
       get(sc, "site_trigger_median_ms") / siteRaw, none, "x",
       over(get(sc, "site_trigger_median_ms"), siteRaw, "raw median, same run")},
      {"api_trigger_vs_raw", "API bid trigger / raw API request",
       get(api, "api_trigger_median_ms") / apiRaw, 2, "x",
       over(get(api, "api_trigger_median_ms"), apiRaw, "raw median")},
      {"raw_request_median_ms", "raw request (the limit), median", raw, none, "ms", rawComparison},
      {"trigger_median_ms", "trigger, median", get(tr, "trigger_median_ms"), none, "ms",
       ticks.arg(number(get(tr, "ticks_only_median_ms"), "ms"))},
      {"trigger_worst_ms", "trigger, worst", get(tr, "trigger_worst_ms"), none, "ms",
       ticks.arg(number(get(tr, "ticks_only_worst_ms"), "ms"))}};
  // The trigger's stages, in their order on the bid's way (their means add up to the mean
  // trigger), and the two parts of the transfer.
  const auto partOfAnother = [](const QJsonObject& stage) {
    return stage.contains(QStringLiteral("part_of"));
  };
  double meanTrigger = 0;
  for (const QJsonValue v : tr[QStringLiteral("trigger_breakdown")].toArray())
    if (!partOfAnother(v.toObject()))
      meanTrigger += std::max(0.0, v.toObject()[QStringLiteral("mean_ms")].toDouble());
  for (const QJsonValue v : tr[QStringLiteral("trigger_breakdown")].toArray()) {
    const QJsonObject stage = v.toObject();
    const QString name = stage[QStringLiteral("stage")].toString();
    const double median = stage[QStringLiteral("median_ms")].toDouble();
    rows.append(
        {QStringLiteral("trigger_stage_%1_ms").arg(keyPart(name)),
         (partOfAnother(stage) ? QStringLiteral("  - %1, median")
                               : QStringLiteral("  stage: %1, median"))
             .arg(name),
         median < 0 ? none : median, none, "ms",
         QStringLiteral("mean %1 (%2 of the mean trigger), worst %3")
             .arg(number(stage[QStringLiteral("mean_ms")].toDouble(), "ms"),
                  number(meanTrigger > 0
                             ? 100 * stage[QStringLiteral("mean_ms")].toDouble() / meanTrigger
                             : none,
                         "%"),
                  number(stage[QStringLiteral("worst_ms")].toDouble(), "ms"))});
  }
  rows += QList<Row>{
      {"api_trigger_median_ms", "API bid trigger (place_proxy_bid), median",
       get(api, "api_trigger_median_ms"), 2, "ms",
       QStringLiteral("worst %1; %2 countdowns, %3 on a connection open 1 s before")
           .arg(number(get(api, "api_trigger_worst_ms"), "ms"))
           .arg(get(api, "api_countdowns"))
           .arg(number(get(api, "api_warm_connection_pct"), "%"))},
      {"raw_api_request_median_ms", "raw API request beside it, median", apiRaw, none, "ms",
       QStringLiteral("place_proxy_bid written by hand, %1 times between the countdowns")
           .arg(get(api, "raw_api_requests"))},
      {"token_refresh_within_60s_of_trigger", "token renewals within 60 s of a trigger",
       get(api, "token_refresh_within_60s_of_trigger"), 0, "",
       QStringLiteral("renewals in the whole run: %1 (one countdown armed 70 s before, its "
                      "renewal due in the last minute)")
           .arg(get(api, "token_refreshes")),
       false, true},
      {"warm_connection_pct", "step 1 on a connection open 1 s before",
       get(tr, "warm_connection_pct"), 100, "%", QString(), true},
      {"trigger_median_delay_ms", "trigger, new connections after 100 ms",
       get(tr, "trigger_median_delay_ms"), 5, "ms", cold},
      {"trigger_median_delay_cold_ms", "the same, connected by the bid (comparison)",
       get(tr, "trigger_median_delay_cold_ms"), none, "ms", QString()},
      {"bid_median_ms", "bid transaction, median", get(tr, "bid_median_ms"), 30, "ms", QString()},
      {"offset_error_median_ms", "site clock offset error, median",
       get(sc, "offset_error_median_ms"), 50, "ms", wholeSecondOffset},
      {"offset_error_worst_ms", "site clock offset error, worst", get(sc, "offset_error_worst_ms"),
       50, "ms", wholeSecondOffset},
      {"site_raw_request_median_ms", "raw request beside those, median", siteRaw, none, "ms",
       QStringLiteral("%1 times between the site clock's countdowns")
           .arg(get(sc, "site_raw_requests"))},
      {"site_trigger_median_ms", "trigger by the site's clock, median",
       get(sc, "site_trigger_median_ms"), 10, "ms", wholeSecondTrigger},
      {"site_trigger_worst_ms", "trigger by the site's clock, worst",
       get(sc, "site_trigger_worst_ms"), none, "ms", wholeSecondTrigger},
      {"stalled_step1_outcome_s", "stalled 1st connection: outcome - end",
       getSigned(tr, "stalled_step1_outcome_s"), 0, "s", alone},
      {"stalled_step1_timeout_alone_s", "the same, 60 s time-out alone (comparison)",
       getSigned(tr, "stalled_step1_timeout_alone_s"), none, "s",
       QStringLiteral("outcome ") +
           tr[QStringLiteral("stalled_step1_timeout_alone_code")].toString()},
      {"cpu_countdown_pct", "CPU, last minute of the countdown", get(pr, "cpu_countdown_pct"), 1,
       "%", spinning},
      {"cpu_pause_pct", "CPU, pause after the bid", get(pr, "cpu_pause_pct"), 1, "%", spinning},
      {"cpu_spinning_pct", "CPU, spinning wait (comparison)", get(pr, "cpu_spinning_pct"), none,
       "%", QStringLiteral("a wait that asks the clock in a loop")},
      {"rss_start_mb", "resident memory after start", get(pr, "rss_start_mb"), 60, "MiB",
       QString()},
      {"rss_after_bid_mb", "resident memory after a bid", get(pr, "rss_after_bid_mb"), 60, "MiB",
       QString()},
      {"startup_ms", "start to main window shown", get(pr, "startup_ms"), 300, "ms", QString()},
      {"formreader_ms", "form reader, 1 MB page, 5,000 inputs",
       benchmarkMs(fr, QStringLiteral("BM_FormReader")), 10, "ms", QString()},
      {"urlencode_ms", "URLEncode, 1 MB of text", benchmarkMs(fr, QStringLiteral("BM_URLEncode")),
       5, "ms", QString()},
  };

  std::printf("\nMachine: %s\n", qPrintable(machine(in)));
  std::printf("Trigger and bid: %d countdowns in one process; the rest: the real program.\n\n",
              int(get(tr, "countdowns")));
  std::printf("%-40s %12s %10s  %-6s %s\n", "figure", "measured", "target", "met",
              "comparison (same run)");
  std::printf("%s\n", QByteArray(120, '-').constData());
  QJsonObject results;
  bool allMet = true;
  for (const Row& r : rows) {
    results.insert(r.key, qIsNaN(r.value) ? QJsonValue() : r.value);
    const bool hasTarget = !qIsNaN(r.target);
    const bool met = !qIsNaN(r.value) && (r.mustBeZero ? r.value == 0
                                          : r.atLeast  ? r.value >= r.target
                                                       : r.value < r.target);
    if (hasTarget && !met) allMet = false;
    QString target = number(r.target, r.unit);
    target.replace(QRegularExpression(QStringLiteral("\\.0+ ")), QStringLiteral(" "));
    target = !hasTarget     ? QStringLiteral("-")
             : r.mustBeZero ? QStringLiteral("= 0")
                            : (r.atLeast ? QStringLiteral(">= ") : QStringLiteral("< ")) + target;
    std::printf("%-40s %12s %10s  %-6s %s\n", qPrintable(r.label),
                qPrintable(number(r.value, r.unit)), qPrintable(target),
                hasTarget ? (met ? "yes" : "NO") : "", qPrintable(r.comparison));
  }
  for (const QJsonObject* o : {&tr, &api, &sc, &pr})
    for (const QJsonValue p : (*o)[QStringLiteral("problems")].toArray())
      std::printf("problem: %s\n", qPrintable(p.toString()));
  std::printf("\n%s\n", allMet ? "All targets met." : "NOT all targets met.");
  return bench::writeJson(resultsPath, results) ? 0 : 1;
}
