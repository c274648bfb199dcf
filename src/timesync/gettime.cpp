#include "timesync/gettime.h"

#include <QEventLoop>

#include "app/appstate.h"
#include "app/dateserial.h"
#include "app/errortrap.h"
#include "app/logfile.h"
#include "app/version.h"
#include "bidding/inet.h"
#include "bidding/transfer.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/services.h"
#include "timesync/siteoffset.h"
#include "timesync/siteprobe.h"
#include "timesync/sitetimegate.h"
#include "timesync/timepage.h"
#include "update/versioncheck.h"

namespace {
// The time page as it came, when its request went out and its answer began to arrive (the
// computer's clock; arrivedMs -1 when nothing came), and how its transfer ended.
struct FirstPage {
  QString page;
  qint64 sentMs = 0;
  qint64 arrivedMs = -1;
  TransferEnd ended = TransferEnd::Running;
  int status = 0;
  QString failureText;
};

// Fetches the time page and returns the body of exactly this request, empty when it failed.
// The wait lets the countdown run, and a bid started from it cancels Inet1 and runs its own
// exchange before this wait returns: its reply then stands in ResponseText. That reply shows
// the auction's end "... MEZ" and must never set the clock, so only a completion reported
// before this request's own end counts.
FirstPage fetchTimePage(AppContext& ctx) {
  AppState& st = ctx.state;
  Inet& inet = ctx.inet1;
  FirstPage first;
  bool running = true;
  // Connected after Inet1's own handler, which has collected ResponseText by then.
  const auto states = QObject::connect(&inet, &Inet::StateChanged, &inet, [&](int state) {
    if (!running) return;
    if (state == Inet::kReceivingResponse && first.arrivedMs < 0)
      first.arrivedMs = ctx.services.clock.computerMs();
    if (state == Inet::kResponseCompleted) first.page = st.ResponseText;
  });
  const auto ended = QObject::connect(&inet, &Inet::executionEnded, &inet, [&] {
    if (running) {
      first.ended = inet.ended();
      first.status = inet.status();
      first.failureText = inet.failureText();
    }
    running = false;
  });
  struct Disconnect {
    QMetaObject::Connection a, b;
    ~Disconnect() {
      QObject::disconnect(a);
      QObject::disconnect(b);
    }
  } guard{states, ended};
  st.SyncTimeMarkPending = true;
  inet.URL = st.endpoints.timeHost + timepage::kPath;
  first.sentMs = ctx.services.clock.computerMs();
  runRequest(ctx, inet, inet.URL, QString(), QString(), timepage::kRequestHeaders);
  return first;
}

// Later readings of the page narrow the first one down to the millisecond; the window keeps
// working meanwhile.
siteoffset::Estimate refine(AppContext& ctx, const siteoffset::Estimate& first) {
  AppState& st = ctx.state;
  SiteTimeProbe probe(ctx.services.clock, st.region, st.endpoints.timeHost + timepage::kPath);
  probe.keepGoing = [&st] { return !st.closing; };
  QEventLoop loop;
  QObject::connect(&probe, &SiteTimeProbe::finished, &loop, &QEventLoop::quit);
  probe.refine(first);
  if (probe.running()) loop.exec();
  return probe.estimate();
}

// Reads the site's time from the page and takes it over; the outcome text.
QString syncClock(AppContext& ctx, const FirstPage& first, SiteTimeGate* gate) {
  AppState& st = ctx.state;
  Clock& clock = ctx.services.clock;
  const timepage::PageTime time = timepage::readPageTime(first.page, st.region, clock.now());
  if (!time.ok) {
    WriteLog(ctx, timepage::noTimeLogLine(first.ended, first.status, first.failureText, time));
    return time.failure;
  }
  // Read as always: the page was written when its answer began to arrive, and has been
  // travelling for the whole seconds since.
  const qint64 wholeSecondLead = siteoffset::wholeSecondLead(
      time.shownMs, dateserial::secondsOfDay(st.SyncTimeMark), clock.localMs(), clock.computerMs());
  const siteoffset::Estimate estimate = refine(
      ctx,
      siteoffset::firstReading({first.sentMs, first.arrivedMs, time.shownMs}, wholeSecondLead));
  // Closed meanwhile: the end line is written, nothing is taken over after it.
  if (st.closing) return timepage::kNoTime;
  if (gate && !gate->takeOverNow(estimate.leadMs)) return kClockHeldMessage;
  const QString outcome = adoptSiteTime(ctx, estimate.leadMs);
  if (gate) gate->siteTimeTakenOver();
  return outcome;
}
}  // namespace

void get_time(AppContext& ctx, UpdateMark& mark, QWidget* boxOwner, SiteTimeGate* gate) {
  AppState& st = ctx.state;
  trap(ctx, "get_time", [&] {
    // A second start while Inet1 still carries a synchronisation (or a bid) has nothing to
    // add: the running one reports its own outcome.
    if (ctx.inet1.StillExecuting()) return;
    // No measurement at arming while this one runs. One that runs already clears the mark
    // itself when it ends.
    struct Measuring {
      bool& flag;
      bool ours;
      ~Measuring() {
        if (ours) flag = false;
      }
    } measuring{st.siteTimeMeasuring, !st.siteTimeMeasuring};
    st.siteTimeMeasuring = true;
    st.SyncMessage = syncClock(ctx, fetchTimePage(ctx), gate);
    VersionCheck(ctx, mark, clockSyncUserAgent(st.VersionText, st.InstallTag));
    // Only after the version check, whatever the page gave.
    if (st.msgonsync != 0)
      ctx.services.dialogs.messageBox(boxOwner, st.SyncMessage, version::appTitle());
  });
}
