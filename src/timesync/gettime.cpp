#include "timesync/gettime.h"

#include "app/appstate.h"
#include "app/errortrap.h"
#include "app/logfile.h"
#include "app/version.h"
#include "bidding/inet.h"
#include "bidding/transfer.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/services.h"
#include "platform/systemclock.h"
#include "timesync/timepage.h"
#include "update/versioncheck.h"

namespace {
const QString kTimePagePath = QStringLiteral("/aw-cgi/eBayISAPI.dll?TimeShow");
const QString kTimePageHeader =
    QStringLiteral("User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n");

const QString kNoTime = QStringLiteral("Keine Zeitinformationen erhalten.");
const QString kRefused = QStringLiteral("Die Systemuhr konnte nicht gestellt werden.");

// Fetches the time page and returns the body of exactly this request, empty when it failed.
// The wait lets the countdown run, and a bid started from it cancels Inet1 and runs its own
// exchange before this wait returns: its reply then stands in ResponseText. That reply shows
// the auction's end "... MEZ" and must never set the clock, so only a completion reported
// before this request's own end counts.
QString fetchTimePage(AppContext& ctx) {
  AppState& st = ctx.state;
  Inet& inet = ctx.inet1;
  QString page;
  bool running = true;
  // Connected after Inet1's own handler, which has collected ResponseText by then.
  const auto completed = QObject::connect(&inet, &Inet::StateChanged, &inet, [&](int state) {
    if (running && state == Inet::kResponseCompleted) page = st.ResponseText;
  });
  const auto ended =
      QObject::connect(&inet, &Inet::executionEnded, &inet, [&] { running = false; });
  struct Disconnect {
    QMetaObject::Connection a, b;
    ~Disconnect() {
      QObject::disconnect(a);
      QObject::disconnect(b);
    }
  } guard{completed, ended};
  st.SyncTimeMarkPending = true;
  inet.URL = st.endpoints.timeHost + kTimePagePath;
  runRequest(ctx, inet, inet.URL, QString(), QString(), kTimePageHeader);
  return page;
}

// Reads the site's time from the page and sets the clock; the outcome text.
QString setClockFromPage(AppContext& ctx, const QString& page) {
  const qsizetype zone = timepage::zoneWordPosition(page);
  if (zone == 0) return kNoTime;
  double stamp = 0;
  try {
    stamp = timepage::readStamp(timepage::stampWindow(page, zone), ctx.state.region,
                                ctx.services.clock.now());
  } catch (const VbError& e) {
    return e.description();
  }

  // The page was written when its answer began to arrive; it has been travelling since.
  const double now = ctx.services.clock.now();
  const int delay = timepage::transferDelay(ctx.state.SyncTimeMark, now);
  const timepage::ClockTarget target = timepage::clockTarget(stamp, delay, now);
  SystemClock& systemClock = ctx.services.systemClock;
  const ClockChange timeSet = systemClock.setTimeOfDay(target.hour, target.minute, target.second);
  WriteLog(ctx, timepage::logLine(now, target.newTime, !timeSet.ok));
  bool ok = timeSet.ok;
  if (target.setDate) ok = systemClock.setDate(target.year, target.month, target.day).ok && ok;
  return ok ? kClockSetMessage : kRefused;
}
}  // namespace

void get_time(AppContext& ctx, UpdateMark& mark, QWidget* boxOwner) {
  AppState& st = ctx.state;
  trap(ctx, "get_time", [&] {
    // A second start while Inet1 still carries a synchronisation (or a bid) has nothing to
    // add: the running one reports its own outcome.
    if (ctx.inet1.StillExecuting()) return;
    const QString page = fetchTimePage(ctx);
    st.SyncMessage = setClockFromPage(ctx, page);
    VersionCheck(ctx, mark, clockSyncUserAgent(st.VersionText, st.InstallTag));
    // Only after the version check, whatever the page gave.
    if (st.msgonsync != 0)
      ctx.services.dialogs.messageBox(boxOwner, st.SyncMessage, version::appTitle());
  });
}
