#include "bidding/dobid.h"

#include <QUrl>

#include "app/appstate.h"
#include "app/cp1252.h"
#include "app/errortrap.h"
#include "app/filewrite.h"
#include "app/logfile.h"
#include "bidding/bidoutcome.h"
#include "bidding/diagnosticpage.h"
#include "bidding/formreader.h"
#include "bidding/formtarget.h"
#include "bidding/inet.h"
#include "bidding/transfer.h"
#include "platform/programinfo.h"
#include "platform/services.h"
#include "update/versioncheck.h"

namespace {
const QString kBidPath = QStringLiteral("/ws/eBayISAPI.dll");

// Saves a page the program could not make sense of, replacing an earlier file of that name.
// The page may hold the account's password (a site that echoes the form): it is masked, and
// the file is readable by its owner only.
void writeDiagnosticFile(AppContext& ctx, int part, const QString& page) {
  const QString path = ctx.services.programInfo.programFolder() + QLatin1Char('/') +
                       bidoutcome::diagnosticFileName(part, ctx.state.ItemID);
  const QByteArray bytes =
      cp1252::encode(diagnosticpage::maskPasswords(page, ctx.state.pass) + QStringLiteral("\r\n"));
  if (const int err = filewrite::replaceOwnerOnly(path, bytes))
    vberr::raise(filewrite::errorNumber(err));
}

void apply(AppContext& ctx, const BidOutcome& outcome, QString& code) {
  code = outcome.code;
  ctx.state.bidResultText = outcome.resultText;
  for (const QString& line : outcome.logLines) WriteLog(ctx, line);
}
}  // namespace

void fillInAccount(AppContext& ctx) {
  const QString user = QStringLiteral("user");
  if (GetFieldValue(ctx, user).isEmpty()) SetFieldValue(ctx, user, ctx.state.user);
  if (GetFieldValue(ctx, user).isEmpty())
    SetFieldValue(ctx, QStringLiteral("userid"), ctx.state.user);
  if (GetFieldValue(ctx, QStringLiteral("pass")).isEmpty())
    SetFieldValue(ctx, QStringLiteral("pass"), ctx.state.pass);
}

void do_bid(AppContext& ctx, UpdateMark& mark) {
  AppState& st = ctx.state;
  Inet& inet = ctx.inet1;
  trap(ctx, "do_bid", [&] {
    bool restarted = false;  // at most one more pass in a call
    QString code;
    QString step1Page;
    const QString step1Url = st.endpoints.offerHost + kBidPath;
    for (;;) {
      WriteLog(ctx, bidoutcome::logPassStarted());
      code.clear();
      st.bidResultText.clear();
      inet.Cancel();

      // Step 1: the bid for the item and the maximum amount.
      runRequest(ctx, inet, step1Url, QStringLiteral("POST"),
                 bidoutcome::step1Body(st.ItemID, st.maxBid, st.region),
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
      fillInAccount(ctx);
      QString body = GetPostData(ctx);
      body.chop(1);  // the "&" after the last field; a form without fields posts nothing

      runRequest(ctx, inet, target.toString(QUrl::FullyEncoded), QStringLiteral("POST"), body,
                 bidoutcome::requestHeaders(st.endpoints.offerHostDe + kBidPath));
      if (!restarted && bidoutcome::isSignInPage(st.ResponseText)) {
        WriteLog(ctx, bidoutcome::logSignInRestart());
        restarted = true;
        continue;
      }
      const BidOutcome result = bidoutcome::classifyStep2(st.ResponseText);
      apply(ctx, result, code);
      if (result.code == QLatin1String("er")) {
        const QString step2Page = st.ResponseText;
        writeDiagnosticFile(ctx, 1, step1Page);
        writeDiagnosticFile(ctx, 2, step2Page);
      }
      break;
    }
    // The outcome goes to the vendor server, whose answer may announce a newer version.
    VersionCheck(ctx, mark, bidReportUserAgent(st.VersionText, st.InstallTag, code));
  });
}
