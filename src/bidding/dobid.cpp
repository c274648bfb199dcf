#include "bidding/dobid.h"

#include <QUrl>

#include "app/appstate.h"
#include "app/cp1252.h"
#include "app/dateserial.h"
#include "app/errortrap.h"
#include "app/filewrite.h"
#include "app/logfile.h"
#include "app/stagemarks.h"
#include "bidding/bidlimits.h"
#include "bidding/bidoutcome.h"
#include "bidding/bidview.h"
#include "bidding/diagnosticpage.h"
#include "bidding/formreader.h"
#include "bidding/formtarget.h"
#include "bidding/inet.h"
#include "bidding/transfer.h"
#include "ebay/route.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/programinfo.h"
#include "platform/services.h"
#include "update/versioncheck.h"

namespace {
const QString kBidPath = QStringLiteral("/ws/eBayISAPI.dll");

// Saves a page the program could not make sense of, replacing an earlier file of that name.
// The page may hold the account's password (a site that echoes the form): it is masked, and
// the file is readable by its owner only. A page that cannot be saved (a full disk) costs the
// bid nothing: a box names the file and why, and the outcome is shown and reported all the same.
// False then.
bool writeDiagnosticFile(AppContext& ctx, int part, const QString& page) {
  const QString path = ctx.services.programInfo.programFolder() + QLatin1Char('/') +
                       bidoutcome::diagnosticFileName(part, ctx.state.ItemID);
  const QByteArray bytes =
      cp1252::encode(diagnosticpage::maskPasswords(page, ctx.state.pass) + QStringLiteral("\r\n"));
  const int err = filewrite::replaceOwnerOnly(path, bytes);
  if (err == 0) return true;
  ctx.services.dialogs.errorBox(
      filewrite::failureNotice(
          path, err, QStringLiteral("Die Seite wird nicht für die Fehlersuche aufbewahrt.")),
      QStringLiteral("GebotsfalkePlus"));
  return false;
}

void apply(AppContext& ctx, const BidOutcome& outcome, QString& code) {
  code = outcome.code;
  ctx.state.bidResultText = outcome.resultText;
  for (const QString& line : outcome.logLines) WriteLog(ctx, line);
}

// The bid's transfers are bounded by the auction's end (bidlimits.h): each step's transfer is
// given up when its connection stalls or it would outlive its bound, with one log line.
class BoundedSteps {
 public:
  BoundedSteps(AppContext& ctx, Inet& inet)
      : m_ctx(ctx),
        m_inet(inet),
        // Without an item there is no end to measure against.
        m_rules(ctx.state.endet != 0 ? ctx.state.bidLimits : bidlimits::Rules::unbounded()),
        m_endMs(dateserial::toLinearSeconds(ctx.state.endet) * 1000) {}

  // Step 1; once more on a fresh connection when its first connection stalled and time
  // enough remains. A step 1 that brings no answer leaves ResponseText empty.
  void step1(const QString& url, const QString& body, const QString& headers) {
    for (bool resent = false;; resent = true) {
      runRequest(m_ctx, m_inet, url, QStringLiteral("POST"), body, headers,
                 bidlimits::step1(m_rules, msToEnd()));
      const bool again = bidlimits::resendStep1(m_rules, m_inet.ended(), msToEnd(), resent);
      logEnd(1, again, false);
      if (!again) return;
      m_inet.openFreshConnection();
    }
  }

  // Step 2, which carries the account: sent once (by nothing again), and redirected only to the
  // auction site's own hosts. True when its request went out but no answer came: the site may
  // have taken the bid.
  bool step2(const QString& url, const QString& body, const QString& headers) {
    const AccountRequest account{[this](const QUrl& target) {
      return formtarget::isAuctionHost(m_ctx.state.endpoints, target) &&
             ebay::route::passwordMayGoTo(target);
    }};
    TransferLimits limits = bidlimits::step2(m_rules, msToEnd());
    // The window is closing: nobody acts on an early "outcome unknown" any more, and the close
    // waits for the exchange anyway. The answer is waited for up to the step's other bounds,
    // so that the log says how the bid went.
    limits.silenceExcused = [this] { return m_ctx.state.closing; };
    runRequest(m_ctx, m_inet, url, QStringLiteral("POST"), body, headers, limits, &account);
    const bool unknown = bidlimits::step2OutcomeUnknown(m_inet.ended(), m_inet.requestSent());
    logEnd(2, false, unknown);
    return unknown;
  }

 private:
  qint64 msToEnd() const { return m_endMs - m_ctx.services.clock.localMs(); }
  void logEnd(int step, bool resend, bool unknown) {
    const QString line = bidlimits::logTransferEnd(m_rules, step, m_inet.ended(),
                                                   m_inet.failureText(), resend, unknown);
    if (!line.isEmpty()) WriteLog(m_ctx, line);
  }

  AppContext& m_ctx;
  Inet& m_inet;
  const bidlimits::Rules m_rules;
  const qint64 m_endMs;
};
}  // namespace

void fillInAccount(AppContext& ctx) {
  const QString user = QStringLiteral("user");
  if (GetFieldValue(ctx, user).isEmpty()) SetFieldValue(ctx, user, ctx.state.user);
  if (GetFieldValue(ctx, user).isEmpty())
    SetFieldValue(ctx, QStringLiteral("userid"), ctx.state.user);
  if (GetFieldValue(ctx, QStringLiteral("pass")).isEmpty())
    SetFieldValue(ctx, QStringLiteral("pass"), ctx.state.pass);
}

void do_bid(AppContext& ctx, BidView& view) {
  AppState& st = ctx.state;
  Inet& inet = ctx.inet1;
  trap(ctx, "do_bid", [&] {
    BoundedSteps steps(ctx, inet);
    bool restarted = false;  // at most one more pass in a call
    QString code;
    QString step1Page;
    const QString step1Url = st.endpoints.offerHost + kBidPath;
    for (;;) {
      WriteLog(ctx, bidoutcome::logPassStarted());
      GF_STAGE_MARK("pass log line");
      code.clear();
      st.bidResultText.clear();
      inet.Cancel();

      // Step 1: the bid for the item and the maximum amount.
      steps.step1(step1Url, bidoutcome::step1Body(st.ItemID, st.maxBid, st.region),
                  bidoutcome::requestHeaders(st.endpoints.itemHost + kBidPath +
                                             QStringLiteral("?ViewItem&item=") + st.ItemID));
      if (const auto refused = bidoutcome::classifyStep1(st.ResponseText)) {
        apply(ctx, *refused, code);
        break;
      }
      for (const QString& line : bidoutcome::logStep1Done()) WriteLog(ctx, line);
      step1Page = st.ResponseText;

      // Step 2: the confirmation form, with the account filled in, posted where it says.
      readFormData(ctx, QStringLiteral("PlaceBid"));
      const QString action = GetFormAction(ctx);
      if (action.isEmpty()) {
        if (!restarted) {
          restarted = true;
          continue;
        }
        apply(ctx, bidoutcome::missingForm(), code);
        writeDiagnosticFile(ctx, 1, step1Page);
        break;
      }
      // Name and password go to the auction site only, whatever host the page names.
      const QUrl target = formtarget::resolve(step1Url, action);
      if (!formtarget::isAuctionHost(st.endpoints, target)) {
        apply(ctx, bidoutcome::foreignFormTarget(formtarget::origin(target, action)), code);
        writeDiagnosticFile(ctx, 1, step1Page);
        break;
      }
      // Nor in clear text over the network.
      if (!ebay::route::passwordMayGoTo(target)) {
        apply(ctx, bidoutcome::unencryptedFormTarget(formtarget::origin(target, action)), code);
        break;
      }
      fillInAccount(ctx);
      QString body = GetPostData(ctx);
      body.chop(1);  // the "&" after the last field; a form without fields posts nothing

      const bool unknown =
          steps.step2(target.toString(QUrl::FullyEncoded), body,
                      bidoutcome::requestHeaders(st.endpoints.offerHostDe + kBidPath));
      if (inet.ended() == TransferEnd::RedirectRefused) {
        const QUrl to = inet.refusedRedirect();
        apply(ctx,
              bidoutcome::refusedRedirect(formtarget::origin(to, to.toString()),
                                          formtarget::isAuctionHost(st.endpoints, to)),
              code);
        break;
      }
      if (!restarted && bidoutcome::isSignInPage(st.ResponseText)) {
        WriteLog(ctx, bidoutcome::logSignInRestart());
        restarted = true;
        continue;
      }
      BidOutcome result = bidoutcome::classifyStep2(st.ResponseText);
      if (unknown && result.code == QLatin1String("nd"))
        result = bidoutcome::outcomeUnknown(result);
      apply(ctx, result, code);
      if (result.code == QLatin1String("er")) {
        const QString step2Page = st.ResponseText;
        // One box is enough: what kept the first page from the disk keeps the second too.
        if (writeDiagnosticFile(ctx, 1, step1Page)) writeDiagnosticFile(ctx, 2, step2Page);
      }
      break;
    }
    // The window shows it before the vendor server, which may be slow, is told.
    view.bidOutcomeKnown(code);
    // The outcome goes to the vendor server, whose answer may announce a newer version.
    VersionCheck(ctx, view, bidReportUserAgent(st.VersionText, st.InstallTag, code));
  });
}
