#include "bidding/ebayroute.h"

#include <QEventLoop>
#include <algorithm>

#include "app/appstate.h"
#include "app/errortrap.h"
#include "app/logfile.h"
#include "bidding/bidview.h"
#include "ebay/accountstore.h"
#include "ebay/browseclient.h"
#include "ebay/itemwatch.h"
#include "ebay/oauthclient.h"
#include "ebay/offerclient.h"
#include "ebay/outcome.h"
#include "ebay/requests.h"
#include "ebay/secrets.h"
#include "ebay/tokentiming.h"
#include "ebay/transport.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "update/versioncheck.h"

namespace {
// eBay calls an auction ENDED a moment after its end: asked this long after it, then again.
constexpr qint64 kFirstAskAfterEndMs = 2'000;
constexpr qint64 kAskAgainMs = 5'000;
constexpr int kAsksAfterEnd = 12;
// A failed renewal of the user token is tried again after this long.
constexpr qint64 kRenewAgainMs = 60'000;
// An open connection is looked after this often in the last seconds (as the classic bid's).
constexpr qint64 kWarmUpAgainMs = 1'000;
constexpr int kTimeoutMs = 30'000;
}  // namespace

EbayRoute::EbayRoute(AppContext& ctx, QObject* parent)
    : QObject(parent),
      m_ctx(ctx),
      m_secrets(std::make_unique<ebay::Secrets>(ctx.services.keyring, ctx.settings)),
      m_transport(std::make_unique<ebay::Transport>()) {}

EbayRoute::~EbayRoute() = default;

void EbayRoute::load() {
  ebay::Account& account = m_ctx.state.ebay;
  if (!account.loaded) ebay::accountstore::load(account, m_ctx.settings, *m_secrets);
}

ebay::route::Choice EbayRoute::choice() {
  load();
  const AppState& st = m_ctx.state;
  return ebay::route::choose({st.ebay.keyset.complete(),
                              st.ebay.signedIn(m_ctx.services.clock.localMs()),
                              st.endpoints.classicSiteNamed});
}

bool EbayRoute::readsItems() {
  load();
  return m_ctx.state.ebay.keyset.complete();
}

void EbayRoute::ensureClients() {
  const ebay::Account& account = m_ctx.state.ebay;
  const ebay::Hosts hosts = ebay::hostsFor(account.keyset.environment, m_ctx.state.endpoints);
  if (m_oauth && m_oauth->hosts().api == hosts.api && m_oauth->hosts().auth == hosts.auth) return;
  ebay::Account& a = m_ctx.state.ebay;
  m_oauth = std::make_unique<ebay::OAuthClient>(a, hosts, m_ctx.services.clock, *m_transport);
  m_oauth->onRefreshRefused([this] { signOutRefused(); });
  m_browse = std::make_unique<ebay::BrowseClient>(*m_oauth, *m_transport, a);
  m_offer = std::make_unique<ebay::OfferClient>(*m_oauth, *m_transport, a, m_ctx.services.clock);
}

void EbayRoute::signOutRefused() {
  // eBay no longer takes the refresh token: it goes from where it was kept too, and the
  // reason stays for the eBay-Zugang dialog.
  ebay::Account& account = m_ctx.state.ebay;
  const QString why = account.lastFailure;
  ebay::accountstore::signOut(account, m_ctx.settings, *m_secrets);
  account.lastFailure = why;
  WriteLog(m_ctx, QStringLiteral("eBay-Anmeldung beendet: ") + why);
}

void EbayRoute::readItem(const QString& legacyItemId, QObject* context,
                         std::function<void(const ebay::ItemResult&)> done) {
  load();
  ensureClients();
  m_browse->item(legacyItemId, context, std::move(done));
}

void EbayRoute::takeItem(const ebay::ItemData& item) {
  if (!m_item || m_item->itemId != item.itemId) m_adultConsent = false;
  m_item = item;
  emit itemChanged();
}

bool EbayRoute::itemFor(const QString& legacyItemId, QString* failure) {
  if (m_item && m_item->itemId == ebay::restItemId(legacyItemId)) return true;
  QEventLoop loop;
  std::optional<ebay::ItemResult> result;
  readItem(legacyItemId, this, [&](const ebay::ItemResult& r) {
    result = r;
    loop.quit();
  });
  if (!result) loop.exec();
  if (!result->item) {
    if (failure) *failure = result->failure;
    return false;
  }
  takeItem(*result->item);
  return true;
}

void EbayRoute::arm(const QString& amount, qint64 triggerMs, qint64 endMs) {
  m_armed = true;
  ++m_generation;
  m_amount = {m_item ? m_item->currency() : QString(), amount};
  m_triggerMs = triggerMs;
  m_endMs = endMs;
  m_lastWarmUpMs = 0;
  ensureClients();
  scheduleRefresh();
  scheduleRenewal();
}

void EbayRoute::disarm() {
  m_armed = false;
  ++m_generation;
}

void EbayRoute::scheduleRefresh() {
  Clock& clock = m_ctx.services.clock;
  const qint64 now = clock.localMs();
  const std::optional<qint64> delay =
      ebay::itemwatch::refreshDelayMs(m_triggerMs - now, m_endMs - now);
  if (!delay) return;
  const int generation = m_generation;
  clock.callAt(now + *delay, this, [this, generation] {
    if (generation != m_generation || !m_item) return;
    m_browse->refresh(m_item->itemId, this, [this, generation](const ebay::ItemResult& r) {
      if (generation != m_generation || !m_item) return;
      if (r.item) {
        m_item->currentBidPrice = r.item->currentBidPrice;
        m_item->minimumPriceToBid = r.item->minimumPriceToBid;
        m_item->bidCount = r.item->bidCount;
        emit itemChanged();
      }
      scheduleRefresh();
    });
  });
}

void EbayRoute::scheduleRenewal() {
  Clock& clock = m_ctx.services.clock;
  const ebay::tokentiming::BidTimes times{m_triggerMs, m_endMs};
  const qint64 due = ebay::tokentiming::renewalDueMs(clock.localMs(),
                                                     m_ctx.state.ebay.userToken.expiresAtMs, times);
  const int generation = m_generation;
  clock.callAt(due, this, [this, generation, times] {
    if (generation != m_generation) return;
    ebay::Account& account = m_ctx.state.ebay;
    const qint64 now = m_ctx.services.clock.localMs();
    // In the quiet time with a token that carries the bid: nothing more to renew until the end.
    if (!ebay::tokentiming::renewalAllowed(now, account.userToken.expiresAtMs, times)) return;
    if (now >= m_triggerMs - ebay::tokentiming::kQuietBeforeTriggerMs && now < m_triggerMs)
      ++m_renewalsNearTrigger;
    m_oauth->renewUserToken(this, [this, generation](bool ok, const QString& failure) {
      if (ok) {
        WriteLog(m_ctx, QStringLiteral("eBay-Anmeldung: Zugangstoken erneuert"));
      } else {
        WriteLog(m_ctx, QStringLiteral("eBay-Anmeldung: Zugangstoken nicht erneuert - ") + failure);
      }
      if (generation != m_generation) return;
      if (ok) return scheduleRenewal();
      if (!m_ctx.state.ebay.signedIn(m_ctx.services.clock.localMs())) return;
      m_ctx.services.clock.callAt(m_ctx.services.clock.localMs() + kRenewAgainMs, this,
                                  [this, generation] {
                                    if (generation == m_generation) scheduleRenewal();
                                  });
    });
  });
}

void EbayRoute::countdownEvaluated(qint64 msToTrigger) {
  const int lead = m_ctx.state.bidLimits.warmUpMs;
  if (!m_armed || lead <= 0 || msToTrigger <= 0 || msToTrigger > lead) return;
  const qint64 now = m_ctx.services.clock.localMs();
  if (m_lastWarmUpMs != 0 && now >= m_lastWarmUpMs && now - m_lastWarmUpMs < kWarmUpAgainMs) return;
  m_lastWarmUpMs = now;
  ensureClients();
  m_transport->warmUp(QUrl(m_oauth->hosts().api));
}

void EbayRoute::bid(BidView& view) {
  AppState& st = m_ctx.state;
  QString code = QStringLiteral("er");
  trap(m_ctx, "ebay_bid", [&] {
    ensureClients();
    if (!m_item) return;
    // The bid waits no longer than the classic confirmation would: until shortly after the end.
    const bidlimits::Rules& rules = st.bidLimits;
    const qint64 msToEnd = m_endMs - m_ctx.services.clock.localMs();
    m_transport->setTimeoutMs(
        rules.bounded ? static_cast<int>(std::clamp<qint64>(msToEnd + rules.step2GraceMs,
                                                            rules.shortestStep1Ms, kTimeoutMs))
                      : kTimeoutMs);
    m_offer->setResendMarginMs(rules.resendMarginMs);
    WriteLog(m_ctx, QStringLiteral("eBay-Gebot - gesendet: ") + ebay::germanMoney(m_amount));
    QEventLoop loop;
    std::optional<ebay::BidResult> result;
    m_offer->placeBid(m_item->itemId, m_amount, m_adultConsent, m_endMs, this,
                      [&](const ebay::BidResult& r) {
                        result = r;
                        loop.quit();
                      });
    if (!result) loop.exec();
    m_transport->setTimeoutMs(kTimeoutMs);
    code = result->outcome.code;
    st.bidResultText = result->outcome.resultText;
    for (const QString& line : result->outcome.logLines) WriteLog(m_ctx, line);
    // Whether it was won is known only after the end; a bid without answer may have been taken.
    m_awaitingVerdict = result->placed || code == QLatin1String("nd");
    if (m_awaitingVerdict) askAfterEnd(m_item->itemId, m_endMs + kFirstAskAfterEndMs, 0);
  });
  view.bidOutcomeKnown(code);
  VersionCheck(m_ctx, view,
               bidReportUserAgent(st.VersionText, st.InstallTag, QStringLiteral("A") + code));
}

void EbayRoute::askAfterEnd(const QString& itemId, qint64 atMs, int attempt) {
  m_ctx.services.clock.callAt(atMs, this, [this, itemId, attempt] {
    ensureClients();
    m_offer->bidding(itemId, this, [this, itemId, attempt](const ebay::BiddingResult& r) {
      const std::optional<BidOutcome> decided =
          r.bidding ? ebay::outcome::afterEnd(*r.bidding) : std::nullopt;
      if (decided) {
        m_awaitingVerdict = false;
        for (const QString& line : decided->logLines) WriteLog(m_ctx, line);
        emit auctionDecided(decided->code == QLatin1String("hb"), *decided);
        return;
      }
      if (attempt + 1 < kAsksAfterEnd)
        return askAfterEnd(itemId, m_ctx.services.clock.localMs() + kAskAgainMs, attempt + 1);
      m_awaitingVerdict = false;
      WriteLog(m_ctx,
               QStringLiteral("eBay-Auktionsergebnis nicht abrufbar (HTTP %1)").arg(r.status));
    });
  });
}
