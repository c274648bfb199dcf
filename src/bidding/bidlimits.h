#pragma once

#include <QString>

#include "bidding/inet.h"

// How long the bid's transfers may take, measured against the auction's end. A bid that waits
// for a stalled connection loses the auction, so during a bid:
// - a transfer whose connection delivers no byte for silenceMs is given up;
// - step 1 is given up at the auction's end (it is worth nothing afterwards), but gets at least
//   shortestStep1Ms, so that a bid sent in the last second still hears the site's verdict;
// - a given-up step 1 goes out once more, on a fresh connection, when resendMarginMs or more
//   remain before the end (time enough for both steps);
// - step 2 never goes out twice (the site could take a repeated confirmation for a refusal);
//   its transfer ends at the latest step2GraceMs after the end; when it went out and no answer
//   came, the outcome is unknown.
// Every other transfer keeps the transfer component's own time-out.
namespace bidlimits {

struct Rules {
  int silenceMs = 3000;
  int resendMarginMs = 2000;
  int step2GraceMs = 5000;
  int shortestStep1Ms = 1000;
  bool bounded = true;  // false: the component's time-out alone, as before these bounds
  // While armed, the connection to the bid's host is opened this long before the trigger (and
  // opened again when it closes meanwhile), so that the bid needs no handshake; 0: the bid
  // connects when it starts.
  int warmUpMs = 4000;

  static Rules unbounded() {
    Rules r;
    r.bounded = false;
    return r;
  }
};

// The bounds of a step's transfer that starts msToEnd before the auction's end (negative after
// it).
TransferLimits step1(const Rules& rules, qint64 msToEnd);
TransferLimits step2(const Rules& rules, qint64 msToEnd);
// Whether step 1 goes out once more after its transfer ended so, msToEnd before the end.
bool resendStep1(const Rules& rules, TransferEnd ended, qint64 msToEnd, bool resentAlready);

// Whether step 2's transfer ended without an answer after its request had gone out: given up
// (silent, too long, the time-out) or failed (a connection reset). The site may have taken the
// bid, and nothing may send it again.
bool step2OutcomeUnknown(TransferEnd ended, bool requestSent);

// The one log line of a bid transfer that ended without an answer, empty for any other end.
// resend: step 1 goes out once more; unknown: step 2's request had gone out, so the site may
// have taken the bid.
QString logTransferEnd(const Rules& rules, int step, TransferEnd ended, const QString& failure,
                       bool resend, bool unknown);

}  // namespace bidlimits
