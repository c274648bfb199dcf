#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace sim {

// What an item is on eBay's API beyond the auction itself (price, increment, end, bidders).
struct EbayListing {
  std::string currency = "EUR";
  std::string seller = "verkaeufer";
  int64_t buyItNowCents = 0;  // 0: no Buy It Now price
  bool auction = true;        // false: fixed price only, no bids
  bool adultOnly = false;     // bids need the buyer's consent to adult-only items
  bool wholeAmounts = false;  // bids without decimals only
  int refusal = 0;            // an Offer error id every bid on the item is refused with
};

// eBay's API on the simulator's port (ebaytokens.cpp, ebayroutes.cpp).
struct EbayConfig {
  // The one keyset the simulator knows; without an App ID every token request is refused.
  std::string appId, certId, ruName;
  // Where the consent page sends the browser with code and state (empty: the simulator's own
  // page /ebay/accepted), and where it sends a refusal (empty: the accept URL).
  std::string acceptUrl, declineUrl;
  int64_t accessTokenSeconds = 7200;
  int64_t refreshTokenSeconds = 47304000;  // 18 months
  int rateLimitPerMinute = 0;              // Browse and Offer calls; 0: no limit
  int64_t bidLimitCents = 100000000;       // bids above are refused (120011)
  // Answers forced on the next calls of an operation ("token", "item", "bid", "bidding"):
  // status and how many calls get it (-1: every call).
  struct Forced {
    int status = 0;
    int count = 0;
  };
  std::map<std::string, Forced> forced;
  std::map<std::string, EbayListing> listings;  // by item id; items not named get the defaults
};

}  // namespace sim
