#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "bidding/bidoutcome.h"
#include "ebay/answers.h"

// What a bid through eBay's Offer API came to, in the program's own form (BidOutcome: the code
// of the vendor report, three lines for the window, the lines for the log and the
// notification), the same as for the classic bid form.
namespace ebay::outcome {

// eBay took the bid; `bidding` is the buyer's bidding asked right after (none when that query
// failed): the high bid, or outbid by a higher maximum (eBay has no "outbid" error).
BidOutcome placed(const std::optional<Bidding>& bidding);

// An error id of place_proxy_bid (every one of eBay's Offer document); an id the document
// does not name gets the general text with the id.
BidOutcome ofError(int errorId);

// An answer other than 200: the first error id when eBay named one, else by status (401 the
// sign-in, 403 the keyset's rights, 429 too many calls, 5xx eBay's trouble).
BidOutcome ofAnswer(int httpStatus, const QList<ApiError>& errors);

// No answer came: `sent` when the request left the computer (eBay may have taken the bid).
BidOutcome noAnswer(bool sent, const QString& networkError);

// After the auction's end: "gewonnen" or "nicht gewonnen" with the final price; nothing while
// eBay still calls the auction active.
std::optional<BidOutcome> afterEnd(const Bidding& bidding);

}  // namespace ebay::outcome
