#pragma once

#include <QtGlobal>
#include <optional>

// When the access tokens are renewed. Times are the program's clock (Clock::localMs()). A bid
// must never wait for a token: a token that would not carry the bid through the auction's end
// is renewed well before the trigger, and no planned renewal falls in the minute before it.
namespace ebay::tokentiming {

inline constexpr qint64 kRenewBeforeExpiryMs = 5 * 60'000;  // the ordinary renewal
inline constexpr qint64 kTriggerLeadMs = 5 * 60'000;        // renewal for a bid: this early
inline constexpr qint64 kQuietBeforeTriggerMs = 60'000;     // no planned renewal in here
inline constexpr qint64 kAfterEndMs = 2 * 60'000;           // the query after the end
inline constexpr qint64 kRetryNeedsMs = 3'000;              // renewal and a second bid

// The bid ahead: its trigger and the auction's end.
struct BidTimes {
  qint64 triggerMs = 0;
  qint64 endMs = 0;
};

// Whether a token may still be sent: it stays valid for kRetryNeedsMs at least.
bool usable(qint64 nowMs, qint64 expiresAtMs);

// When to renew the access token that expires at `expiresAtMs`: kRenewBeforeExpiryMs before
// it expires. With a bid ahead, a token that would not last until kAfterEndMs after the end,
// or whose renewal would fall between kQuietBeforeTriggerMs before the trigger and that time,
// is renewed kTriggerLeadMs before the trigger instead. Never earlier than `nowMs`.
qint64 renewalDueMs(qint64 nowMs, qint64 expiresAtMs, const std::optional<BidTimes>& bid);

// Whether a planned renewal may start now: not from kQuietBeforeTriggerMs before the trigger
// until the auction's end, unless the token would not carry the bid (then renewing is the
// only way to bid at all).
bool renewalAllowed(qint64 nowMs, qint64 expiresAtMs, const std::optional<BidTimes>& bid);

// A bid answered 401 (the token was refused after all) is renewed and sent once more, while
// the auction's end leaves time for both.
bool retryAfterUnauthorized(qint64 nowMs, qint64 endMs, int retriesDone);

}  // namespace ebay::tokentiming
