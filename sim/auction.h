#pragma once

#include <cstdint>
#include <string>

#include "simulator.h"

// The auction's rules, the same for the classic bid form and eBay's Offer API.
namespace sim {

// Amounts in whole cents, so that comparisons are exact.
int64_t toCents(double amount);

// The lowest bid the item takes: the start price while nobody has bid, then one increment
// above the current price.
int64_t minimumBid(const Item& item);

// How a proxy bid changed the auction.
enum class ProxyResult {
  Raised,      // the high bidder raised (or kept) their own maximum; the price stays
  HighBidder,  // the bidder is now the high bidder
  Outbid,      // another bidder's higher maximum holds; the price rose to meet this bid
};

// Bidding by proxy: the high bidder pays one increment above the next maximum, never more than
// their own maximum. The caller has checked that the bid reaches minimumBid (unless the bidder
// is the high bidder). Call with the simulator's mutex held.
ProxyResult placeProxyBid(Item& item, const std::string& user, int64_t cents);

}  // namespace sim
