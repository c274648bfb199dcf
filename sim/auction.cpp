#include "auction.h"

#include <algorithm>
#include <cmath>

namespace sim {

int64_t toCents(double amount) {
  return std::llround(amount * 100.0);
}

int64_t minimumBid(const Item& item) {
  const int64_t price = toCents(item.price);
  return item.highBidder.empty() ? price : price + toCents(item.increment);
}

ProxyResult placeProxyBid(Item& item, const std::string& user, int64_t cents) {
  if (item.highBidder == user) {
    item.highMax = std::max(item.highMax, cents / 100.0);
    return ProxyResult::Raised;
  }
  const int64_t increment = toCents(item.increment);
  ++item.bidCount;
  if (item.highBidder.empty() || cents > toCents(item.highMax)) {
    if (!item.highBidder.empty())
      item.price = std::min(cents, toCents(item.highMax) + increment) / 100.0;
    item.highBidder = user;
    item.highMax = cents / 100.0;
    return ProxyResult::HighBidder;
  }
  // Not above the high bidder's maximum: the price rises to meet this bid.
  item.price = std::min(toCents(item.highMax), cents + increment) / 100.0;
  return ProxyResult::Outbid;
}

}  // namespace sim
