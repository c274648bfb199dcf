#pragma once

// The state of eBay's API on the simulator, shared by the token routes (ebaytokens.cpp) and the
// Browse and Offer routes (ebayroutes.cpp): tokens, consent codes, the buyers' proxy bids and
// the calls counted against the rate limit. Everything is used with the simulator's mutex held.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>

#include "simulator.h"

namespace sim::ebay {

inline const std::string kPublicScope = "https://api.ebay.com/oauth/api_scope";
inline const std::string kBidScope = "https://api.ebay.com/oauth/api_scope/buy.offer.auction";

struct Grant {
  std::string user;  // empty for an application token
  std::set<std::string> scopes;
  int64_t expiresMs = 0;  // by the site's clock
};

struct Code {
  Grant grant;
  std::string redirectUri;
};

struct ProxyBid {
  std::string id;
  int64_t maxCents = 0;
};

struct Service {
  explicit Service(Simulator& s) : sim(s) {}
  Simulator& sim;
  std::map<std::string, Grant> accessTokens;
  std::map<std::string, Grant> refreshTokens;
  std::map<std::string, Code> codes;
  std::map<std::string, std::map<std::string, ProxyBid>> bids;  // item id -> user -> bid
  std::deque<int64_t> recentCalls;                              // for the rate limit
  std::mt19937_64 random{std::random_device{}()};

  // A token in eBay's form ("v^1.1#i^1#...") with characters that must be escaped in a form body
  // and in a URL.
  std::string newSecret();
  // The listing of an item (the defaults when the command line named none).
  const EbayListing& listing(const std::string& itemId) const;
  // A forced status for this call of the operation, or 0.
  int forcedStatus(const std::string& operation);
  // Whether this call goes over the rate limit (counted either way).
  bool overRateLimit();
};

// Words the consent page uses and the token route checks.
std::set<std::string> splitScopes(const std::string& text);

// JSON pieces of eBay's answers.
std::string decimal(int64_t cents);  // "1234.50"
std::string amountJson(const std::string& currency, int64_t cents);
std::string isoUtc(int64_t ms);  // "2026-12-06T18:15:30.250Z"
std::string errorsJson(int errorId, const std::string& domain, const std::string& category,
                       const std::string& message);
void answerJson(httplib::Response& res, int status, const std::string& body);

// An application/x-www-form-urlencoded body or query, UTF-8; the first of a repeated name
// counts. False when a "%" escape is broken.
bool parseForm(const std::string& body, std::map<std::string, std::string>& out);
std::string urlEncode(const std::string& text);
bool base64Decode(const std::string& text, std::string& out);

// The message of a 409 answer of place_proxy_bid, as eBay's document words it; empty for an id
// that is none of them (ebayroutes.cpp).
std::string conflictMessage(int errorId);

// The token endpoint and the consent page (ebaytokens.cpp).
void registerTokenRoutes(Simulator& sim, const std::shared_ptr<Service>& svc);

}  // namespace sim::ebay
