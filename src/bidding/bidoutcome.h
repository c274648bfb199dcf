#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "app/regional.h"

// How a bid ended: the two-letter code reported to the vendor server, the three-line result
// text shown in the main window (lines joined by CR LF) and the log lines, in order.
struct BidOutcome {
  QString code;
  QString resultText;
  QStringList logLines;
};

namespace bidoutcome {

// The site's reply "contains" a text when it occurs there anywhere but at its very first
// character.
bool replyContains(const QString& reply, const QString& text, Qt::CaseSensitivity cs);

// The first step's verdict: "nd", "lB" or "Ae" end the bid; none means the reply is taken for
// the confirmation page and the second step follows (with logStep1Done's lines).
std::optional<BidOutcome> classifyStep1(const QString& reply);
// The second step's verdict, "er" when the reply is none of the site's known answers.
BidOutcome classifyStep2(const QString& reply);
// A sign-in page instead of the second step's answer (case ignored).
bool isSignInPage(const QString& reply);
// Whether the outcome is a bid the site took (the high bid, or outbid by another bidder's
// higher maximum); every other one ("nd", "er", "pw", "lB", "Ae", "AE") placed no bid.
bool isPlacedBid(const QString& code);
// Step 2's request went out but its answer never came: the site may or may not have taken the
// bid. The outcome of no data (code and log lines), with a text that says so.
BidOutcome outcomeUnknown(const BidOutcome& noData);
// No bid form in the confirmation page even after the restart.
BidOutcome missingForm();
// The bid form names a host that is none of the auction site's ("scheme://host:port"): name and
// password are not sent.
BidOutcome foreignFormTarget(const QString& origin);

// The bid form would carry name and password over plain http to a host that is not this
// computer: they are not sent.
BidOutcome unencryptedFormTarget(const QString& origin);

// The site answered the bid form with a redirect that was not followed: to a host that is none
// of the auction site's ("scheme://host:port"; the account does not go there), or, on one of
// its own hosts, one that would send the form, account and all, a second time (307, 308).
BidOutcome refusedRedirect(const QString& origin, bool auctionHost);

// Log lines of the stages.
QString logPassStarted();    // "Bieten Teil 1/2 - gestartet"
QStringList logStep1Done();  // step 1 done, step 2 started
QString logSignInRestart();  // the sign-in page makes the bid start again

// The first step's request body: the item and the maximum bid with a decimal point.
QString step1Body(const QString& itemId, float maxBid, const RegionalFormat& region);
// The amount as sent: the regional single-precision text with "," replaced by ".".
QString bidAmount(float maxBid, const RegionalFormat& region);
// The header block of either step (every line ended by CR LF): the Referer, then the fixed
// lines of the site's browser. Error 5 for a Referer holding CR or LF.
QString requestHeaders(const QString& referer);

// The name of a diagnostic page ("Teil_1__" or "Teil_2__" + item number + ".htm") with every
// character of the item number that is not a letter, digit, "-" or "_" replaced by "_", so
// that no item number leads outside the program folder.
QString diagnosticFileName(int part, const QString& itemId);

}  // namespace bidoutcome
