#pragma once

#include <QByteArray>
#include <QString>

#include "app/regional.h"
#include "capture/titlerules.h"

// Taking an item over from its item page: where the page is, what its title says, and why an
// item is not taken over.
namespace itempage {

// The item page on the item host: host + "/ws/eBayISAPI.dll?ViewItem&item=" + the number.
QString url(const QString& itemHost, const QString& itemId);

// The page's text: UTF-8 when the Content-Type header or a <meta> near the top says so,
// otherwise Windows-1252 (the site's own).
QString decode(const QByteArray& body, const QString& contentType);

// The page's title as a browser shows it in its window title: the text of the first <title>
// element with character references resolved, white space collapsed and control and bidi
// characters dropped; empty when there is none.
QString title(const QString& html);

// The account the page names as the high bidder ("Höchstbietender:" and the text after it, up
// to the next tag, with character references resolved); empty when it names none.
QString highBidder(const QString& html);

// What became of a request for an item page.
struct Answer {
  QString itemId;        // the item number that was asked for
  bool arrived = false;  // an HTTP response came
  int status = 0;        // its status
  QString reason;        // why none came (time-out, connection refused, page too long, ...)
  QString pageTitle;     // title() of the page
  QString highBidder;    // highBidder() of the page
};

enum class Refusal {
  None,       // taken over
  NotLoaded,  // no answer, or an error status
  NoAuction,  // the page's title shows no auction (or no readable end time)
  Ended,      // the auction's end has passed
  Armed,      // a bid is armed or under way: the item must not change now
};

// The item an answer gives, or why it gives none.
struct Outcome {
  Refusal refusal = Refusal::NotLoaded;
  QString itemId;        // always the number asked for, never the one in the page's title
  QString auktionTitel;  // by the title rules of a browser window's title
  QString wholeTitle;    // uncut
  double endet = 0;
};

// Reads the answer by the title rules of a window title. now: the clock's date serial (whole
// seconds), also the "today" of two-digit years.
Outcome judge(const Answer& answer, double now, const RegionalFormat& region);

// The one message that tells the user why the item was not taken over (lines joined by CR LF).
QString message(const QString& itemId, Refusal refusal);
// The log line of an outcome, with the details the message leaves out.
QString logLine(const Answer& answer, Refusal refusal);

}  // namespace itempage
