#include "bidding/bidwarmup.h"

#include "app/appstate.h"
#include "app/logfile.h"
#include "bidding/inet.h"
#include "platform/clock.h"
#include "platform/services.h"

namespace {
// How often an open connection is looked after: one closed by the server is opened again
// within this time.
constexpr qint64 kRefreshMs = 1000;
}  // namespace

BidWarmUp::BidWarmUp(AppContext& ctx) : m_ctx(ctx) {
  connect(&ctx.inet1, &Inet::warmUpEnded, this, &BidWarmUp::warmUpEnded);
}

void BidWarmUp::countdownEvaluated(qint64 msToTrigger) {
  const AppState& st = m_ctx.state;
  if (!st.armed || st.ItemID != m_itemID) {
    // A new armed period begins with the next arming (or the next item).
    m_failureLogged = false;
    m_itemID = st.armed ? st.ItemID : QString();
    if (!st.armed) return;
  }
  const int lead = st.bidLimits.warmUpMs;
  if (lead <= 0 || msToTrigger <= 0 || msToTrigger > lead) return;
  // Another exchange on the component (the clock synchronisation, an immediate bid) keeps its
  // own connection; the next evaluation looks again.
  Inet& inet = m_ctx.inet1;
  if (st.bidBusy || inet.StillExecuting() || inet.warmingUp()) return;
  const qint64 now = m_ctx.services.clock.localMs();
  if (m_lastWarmUpMs != 0 && now - m_lastWarmUpMs < kRefreshMs && now >= m_lastWarmUpMs) return;
  m_lastWarmUpMs = now;
  m_asked = true;
  inet.warmUp(st.endpoints.offerHost);
}

void BidWarmUp::warmUpEnded(const QString& failure) {
  if (!m_asked) return;  // a warm-up of someone else
  m_asked = false;
  if (failure.isEmpty() || m_failureLogged || !m_ctx.state.armed) return;
  m_failureLogged = true;
  WriteLog(m_ctx, QStringLiteral("Verbindung für das Gebot nicht vorab geöffnet: ") + failure);
}
