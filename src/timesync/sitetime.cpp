#include "timesync/sitetime.h"

#include <QObject>

#include "app/appstate.h"
#include "app/logfile.h"
#include "ebay/account.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "timesync/siteoffset.h"
#include "timesync/siteprobe.h"
#include "timesync/sitetimegate.h"
#include "timesync/timepage.h"

namespace {
// A day serial of whole seconds, as the log line shows times.
double serialOf(qint64 ms) {
  return static_cast<double>(Clock::floorDiv(ms, 1000)) / 86400.0;
}
}  // namespace

QString adoptSiteTime(AppContext& ctx, qint64 leadMs) {
  AppState& st = ctx.state;
  Clock& clock = ctx.services.clock;
  const qint64 before = clock.localMs();
  const qint64 computer = clock.computerMs();
  const qint64 lead = siteoffset::adoptedLead(leadMs, computer, before);
  const ClockChange change = clock.adoptSiteLead(lead, ctx.services.systemClock);
  st.siteTimeMeasuredMs = clock.localMs();
  WriteLog(ctx, timepage::logLine(serialOf(before), serialOf(computer + lead), !change.ok,
                                  siteoffset::leadText(lead, st.region)));
  if (change.ok) return kClockSetMessage;
  if (qAbs(lead) < kClockRightWithinMs) return kClockRightMessage;
  return kClockRefusedMessage + QStringLiteral("\r\n") + siteoffset::keptLeadLine(lead, st.region);
}

void measureSiteTimeIfDue(AppContext& ctx, QObject* owner, SiteTimeGate& gate) {
  AppState& st = ctx.state;
  Clock& clock = ctx.services.clock;
  if (st.siteTimeMeasuring || !siteoffset::measurementDue(st.siteTimeMeasuredMs, clock.localMs()))
    return;
  st.siteTimeMeasuring = true;
  // A bid through eBay's API goes by the API host's clock (the Date of its answers); the classic
  // one by the time page of the site endpoints.ini names.
  const ebay::Account& account = st.ebay;
  const bool api = account.keyset.complete() && account.signedIn(clock.localMs());
  const QString url =
      api ? ebay::hostsFor(account.keyset.environment, st.endpoints).api + QLatin1Char('/')
          : st.endpoints.timeHost + timepage::kPath;
  auto* probe = new SiteTimeProbe(clock, st.region, url, owner);
  if (api) probe->readDateHeader();
  probe->keepGoing = [&st] { return !st.closing; };
  QObject::connect(probe, &SiteTimeProbe::finished, owner, [&ctx, probe, &gate] {
    AppState& s = ctx.state;
    s.siteTimeMeasuring = false;
    probe->deleteLater();
    if (s.closing) return;  // the end line is written: nothing follows it
    if (!probe->measured()) {
      // Nothing changes: the clock goes on as before.
      WriteLog(ctx, probe->failureLogLine());
      return;
    }
    const qint64 lead = probe->estimate().leadMs;
    if (!gate.takeOverNow(lead)) return;
    adoptSiteTime(ctx, lead);
    gate.siteTimeTakenOver();
  });
  probe->measure();
}
