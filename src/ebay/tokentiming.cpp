#include "ebay/tokentiming.h"

#include <algorithm>

namespace ebay::tokentiming {
namespace {
bool inQuietTime(qint64 t, const BidTimes& bid) {
  return t >= bid.triggerMs - kQuietBeforeTriggerMs && t < bid.endMs;
}
bool carriesBid(qint64 expiresAtMs, const BidTimes& bid) {
  return expiresAtMs >= bid.endMs + kAfterEndMs;
}
}  // namespace

bool usable(qint64 nowMs, qint64 expiresAtMs) {
  return nowMs + kRetryNeedsMs < expiresAtMs;
}

qint64 renewalDueMs(qint64 nowMs, qint64 expiresAtMs, const std::optional<BidTimes>& bid) {
  qint64 due = expiresAtMs - kRenewBeforeExpiryMs;
  if (bid && bid->endMs > nowMs) {
    const bool needed = !carriesBid(expiresAtMs, *bid) && due < bid->endMs + kAfterEndMs;
    if (needed || inQuietTime(due, *bid)) due = std::min(due, bid->triggerMs - kTriggerLeadMs);
  }
  return std::max(due, nowMs);
}

bool renewalAllowed(qint64 nowMs, qint64 expiresAtMs, const std::optional<BidTimes>& bid) {
  if (!bid || !inQuietTime(nowMs, *bid)) return true;
  return !usable(bid->triggerMs, expiresAtMs);
}

bool retryAfterUnauthorized(qint64 nowMs, qint64 endMs, int retriesDone) {
  return retriesDone == 0 && nowMs + kRetryNeedsMs < endMs;
}

}  // namespace ebay::tokentiming
