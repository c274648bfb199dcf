// eBay's Browse API (the item by its legacy number, the item by its id, also as COMPACT) and
// Offer API (place_proxy_bid, the buyer's bidding) on the simulator, built from the same items
// as the classic bid form, so that one auction can be bid on by both routes. Every call needs a
// token of the right scope; the answers and error ids are those of eBay's documents.
#include <nlohmann/json.hpp>

#include <memory>
#include <regex>

#include "auction.h"
#include "ebayservice.h"

namespace sim::ebay {
namespace {

using json = nlohmann::json;

const std::set<std::string> kMarketplaces = {"EBAY_AT", "EBAY_AU", "EBAY_CA", "EBAY_CH", "EBAY_DE",
                                             "EBAY_ES", "EBAY_FR", "EBAY_GB", "EBAY_IT", "EBAY_US"};

struct Api {
  const char* domain;  // API_BROWSE or API_OFFER
  int internalError;   // 11000 or 120000
};
const Api kBrowse{"API_BROWSE", 11000};
const Api kOffer{"API_OFFER", 120000};

void error(httplib::Response& res, int status, const Api& api, int id, const char* category,
           const std::string& message) {
  answerJson(res, status, errorsJson(id, api.domain, category, message));
}

void unauthorized(httplib::Response& res) {
  answerJson(res, 401,
             errorsJson(1001, "OAuth", "REQUEST",
                        "Invalid access token. Check the value of the Authorization HTTP request "
                        "header."));
}

void tooMany(httplib::Response& res) {
  answerJson(res, 429,
             errorsJson(2001, "ACCESS", "REQUEST",
                        "Too many requests. The request limit has been reached for the "
                        "resource."));
}

// What every call goes through before its own checks: a valid token, the rate limit, a status
// forced by the command line, the scope. Returns the token's grant, or nullptr when answered.
const Grant* admit(Service& svc, const httplib::Request& req, httplib::Response& res,
                   const char* operation, const std::string& scope, const Api& api) {
  const std::string header = req.get_header_value("Authorization");
  const std::string prefix = "Bearer ";
  const auto it = header.compare(0, prefix.size(), prefix) == 0
                      ? svc.accessTokens.find(header.substr(prefix.size()))
                      : svc.accessTokens.end();
  if (it == svc.accessTokens.end() || it->second.expiresMs <= svc.sim.siteNowMs()) {
    unauthorized(res);
    return nullptr;
  }
  if (svc.overRateLimit()) {
    tooMany(res);
    return nullptr;
  }
  if (const int forced = svc.forcedStatus(operation)) {
    if (forced == 401) {
      unauthorized(res);
    } else if (forced == 429) {
      tooMany(res);
    } else {
      error(res, forced, api, api.internalError, "APPLICATION",
            "There was a problem with an eBay internal system or process. Contact eBay "
            "developer support for assistance.");
    }
    return nullptr;
  }
  if (!it->second.scopes.count(scope)) {
    answerJson(
        res, 403,
        errorsJson(1100, "ACCESS", "REQUEST", "Insufficient permissions to fulfill the request."));
    return nullptr;
  }
  return &it->second;
}

// An item id of a path must come percent-encoded ("v1%7C...%7C0"): a bare "|" is no valid
// character of a request target, and a server refuses the request.
bool refusedTarget(const httplib::Request& req, httplib::Response& res) {
  if (req.target.find('|') == std::string::npos) return false;
  res.status = 400;
  res.set_content("Invalid character found in the request target.", "text/plain");
  return true;
}

// "v1|<number>|0" to the simulator's item, or nullptr.
Item* itemOf(Service& svc, const std::string& itemId) {
  static const std::regex form(R"(v1\|([0-9A-Za-z]+)\|0)");
  std::smatch m;
  if (!std::regex_match(itemId, m, form)) return nullptr;
  return svc.sim.findItem(m[1]);
}

std::string restId(const Item& item) {
  return "v1|" + item.id + "|0";
}

json amount(const std::string& currency, int64_t cents) {
  return {{"currency", currency}, {"value", decimal(cents)}};
}

// The Browse item: all of it, or the COMPACT field group (price and bids, no title, no end).
json browseItem(Service& svc, const Item& item, bool compact) {
  const EbayListing& l = svc.listing(item.id);
  json j = {{"itemId", restId(item)},
            {"legacyItemId", item.id},
            {"itemWebUrl", svc.sim.baseUrl() + "/itm/" + item.id}};
  if (l.auction) {
    j["currentBidPrice"] = amount(l.currency, toCents(item.price));
    j["minimumPriceToBid"] = amount(l.currency, minimumBid(item));
    j["bidCount"] = item.bidCount;
  }
  j["price"] =
      amount(l.currency, l.buyItNowCents && !l.auction ? l.buyItNowCents : toCents(item.price));
  if (compact) return j;
  j["title"] = item.title;
  j["adultOnly"] = l.adultOnly;
  j["listingMarketplaceId"] = "EBAY_DE";
  j["seller"] = {{"username", l.seller}};
  json options = json::array();
  if (l.auction) options.push_back("AUCTION");
  if (l.buyItNowCents || !l.auction) options.push_back("FIXED_PRICE");
  j["buyingOptions"] = options;
  if (l.auction) j["itemEndDate"] = isoUtc(item.endMs);
  return j;
}

// The Browse header is optional (EBAY_US without it); a value eBay does not know is refused.
bool browseMarketplace(const httplib::Request& req, httplib::Response& res) {
  if (!req.has_header("X-EBAY-C-MARKETPLACE-ID") ||
      kMarketplaces.count(req.get_header_value("X-EBAY-C-MARKETPLACE-ID")))
    return true;
  error(res, 400, kBrowse, 11011, "REQUEST",
        "The marketplace value " + req.get_header_value("X-EBAY-C-MARKETPLACE-ID") +
            " is not supported.");
  return false;
}

void itemByLegacyId(Service& svc, const httplib::Request& req, httplib::Response& res) {
  std::lock_guard<std::mutex> lock(svc.sim.mutex());
  if (!admit(svc, req, res, "item", kPublicScope, kBrowse) || !browseMarketplace(req, res)) return;
  const std::string groups = req.get_param_value("fieldgroups");
  if (!groups.empty() && groups != "PRODUCT" && groups != "ADDITIONAL_SELLER_DETAILS")
    return error(res, 400, kBrowse, 11501, "REQUEST",
                 "The 'fieldgroups' value(s) are invalid: " + groups + ".");
  const Item* item = svc.sim.findItem(req.get_param_value("legacy_item_id"));
  if (!item)
    return error(res, 400, kBrowse, 11003, "REQUEST",
                 "The specified legacy item ID was not found.");
  answerJson(res, 200, browseItem(svc, *item, false).dump());
}

void itemById(Service& svc, const httplib::Request& req, httplib::Response& res) {
  if (refusedTarget(req, res)) return;
  std::lock_guard<std::mutex> lock(svc.sim.mutex());
  if (!admit(svc, req, res, "item", kPublicScope, kBrowse) || !browseMarketplace(req, res)) return;
  const std::string groups = req.get_param_value("fieldgroups");
  const bool compact = groups == "COMPACT";
  if (!compact && groups.find("COMPACT") != std::string::npos)
    return error(res, 400, kBrowse, 11018, "REQUEST",
                 "The specified fieldgroups are invalid. The COMPACT fieldgroup cannot be "
                 "combined with another fieldgroup.");
  if (!compact && !groups.empty() && groups != "PRODUCT" && groups != "ADDITIONAL_SELLER_DETAILS")
    return error(res, 400, kBrowse, 11501, "REQUEST",
                 "The 'fieldgroups' value(s) are invalid: " + groups + ".");
  const Item* item = itemOf(svc, req.matches[1]);
  if (!item)
    return error(res, 400, kBrowse, 11001, "REQUEST", "The specified item ID was not found.");
  answerJson(res, 200, browseItem(svc, *item, compact).dump());
}

// The Offer calls' header is required and case-sensitive.
bool offerMarketplace(const httplib::Request& req, httplib::Response& res) {
  if (!req.has_header("X-EBAY-C-MARKETPLACE-ID")) {
    error(res, 400, kOffer, 120015, "REQUEST",
          "The X-EBAY-C-MARKETPLACE-ID header is missing. This is a required header.");
    return false;
  }
  const std::string id = req.get_header_value("X-EBAY-C-MARKETPLACE-ID");
  if (kMarketplaces.count(id)) return true;
  error(res, 400, kOffer, 120017, "REQUEST", "The Marketplace " + id + " is not supported.");
  return false;
}

// The buyer's bidding on an item, or nullptr before their first bid.
const ProxyBid* bidOf(Service& svc, const Item& item, const std::string& user) {
  const auto it = svc.bids.find(item.id);
  if (it == svc.bids.end()) return nullptr;
  const auto bid = it->second.find(user);
  return bid == it->second.end() ? nullptr : &bid->second;
}

void bidding(Service& svc, const httplib::Request& req, httplib::Response& res) {
  if (refusedTarget(req, res)) return;
  std::lock_guard<std::mutex> lock(svc.sim.mutex());
  const Grant* grant = admit(svc, req, res, "bidding", kBidScope, kOffer);
  if (!grant || !offerMarketplace(req, res)) return;
  const Item* item = itemOf(svc, req.matches[1]);
  if (!item || !svc.listing(item->id).auction)
    return error(res, 404, kOffer, 120001, "REQUEST",
                 "The item ID " + std::string(req.matches[1]) +
                     " was not found. Check that this is an active auction item ID.");
  const ProxyBid* bid = bidOf(svc, *item, grant->user);
  if (!bid && item->highBidder != grant->user)
    return error(res, 404, kOffer, 120033, "REQUEST",
                 "There is no bidding activity for this auction (item ID " + restId(*item) + ").");
  const EbayListing& l = svc.listing(item->id);
  json j = {{"itemId", restId(*item)},
            {"auctionStatus", svc.sim.siteNowMs() >= item->endMs ? "ENDED" : "ACTIVE"},
            {"auctionEndDate", isoUtc(item->endMs)},
            {"highBidder", item->highBidder == grant->user},
            {"currentPrice", amount(l.currency, toCents(item->price))},
            {"bidCount", item->bidCount},
            {"suggestedBidAmounts", json::array({amount(l.currency, minimumBid(*item))})}};
  if (bid)
    j["currentProxyBid"] = {{"proxyBidId", bid->id},
                            {"maxAmount", amount(l.currency, bid->maxCents)}};
  answerJson(res, 200, j.dump());
}

// The amount of a bid: digits with up to two decimals; false for anything else.
bool readAmount(const json& value, int64_t& cents, bool& hasFraction) {
  static const std::regex form(R"(([0-9]{1,12})(?:\.([0-9]{1,2}))?)");
  std::smatch m;
  if (!value.is_string()) return false;
  const std::string text = value.get<std::string>();
  if (!std::regex_match(text, m, form)) return false;
  std::string fraction = m[2];
  fraction.resize(2, '0');
  cents = std::stoll(m[1]) * 100 + std::stoll(fraction);
  hasFraction = fraction != "00";
  return true;
}

// The business checks of a bid, in eBay's order; 0 when the bid stands.
int refusal(Service& svc, const Item& item, const std::string& user, const json& body,
            int64_t cents, bool hasFraction) {
  const EbayListing& l = svc.listing(item.id);
  if (svc.sim.siteNowMs() >= item.endMs) return 120012;
  if (l.seller == user) return 120003;
  if (l.refusal) return l.refusal;
  const json consent = body.value("userConsent", json::object());
  if (l.adultOnly && !(consent.is_object() && consent.contains("adultOnlyItem") &&
                       consent["adultOnlyItem"] == true))
    return 120032;
  if (body["maxAmount"]["currency"] != l.currency) return 120009;
  if (l.wholeAmounts && hasFraction) return 120018;
  if (cents > svc.sim.config().ebay.bidLimitCents) return 120011;
  if (l.buyItNowCents && cents > l.buyItNowCents) return 120005;
  const ProxyBid* earlier = bidOf(svc, item, user);
  const int64_t ownMax = item.highBidder == user ? toCents(item.highMax) : 0;
  if ((earlier && cents < earlier->maxCents) || cents < ownMax) return 120010;
  if (item.highBidder != user && cents < minimumBid(item)) return 120008;
  return 0;
}

}  // namespace

// Messages of the 409 answers, as eBay's document words them; empty for any other id.
std::string conflictMessage(int id) {
  static const std::map<int, std::string> messages = {
      {120002,
       "The auction was ended because the item was purchased with Buy It Now "
       "(fixed_price)."},
      {120003, "A seller cannot place a bid."},
      {120004, "You are not eligible to bid on this item."},
      {120005, "The bid price cannot be greater than the Buy It Now price."},
      {120006, "You are not eligible to bid on this item due to seller restrictions."},
      {120007, "The bid amount is too high."},
      {120008, "The bid amount is too low."},
      {120009, "The bid currency needs to match the item price currency."},
      {120010, "You cannot lower your proxy bid."},
      {120012, "The auction has ended."},
      {120018, "For this auction, the bid amount cannot have decimals."},
      {120019, "You must be pre-approval to bid on this auction."},
      {120020, "A user agreement acceptance is required for this auction."},
      {120021, "You are not authorized to bid on adult items. See the eBay help on adult items."},
      {120022, "A privacy user agreement is required for this auction."},
      {120023, "This is a business to business only auction."},
      {120024, "The item is currently unavailable."},
      {120025, "The bid was blocked because you have exceeded the item purchased limit."},
      {120026, "The bid was blocked due to a seller restriction based on your feedback score."},
      {120027, "The bid was blocked due to a seller restriction on the shipping location."},
      {120028, "The auction is restricted to users with a linked PayPal accounts."},
      {120029, "There has been a buyer policy violation."},
      {120030, "The bid was blocked due to unpaid items."},
      {120031, "This requires credit card verification."},
      {120032, "This requires the user's consent for adult items."}};
  const auto it = messages.find(id);
  return it == messages.end() ? std::string() : it->second;
}

namespace {

bool requestCategory(int id) {
  return id == 120007 || id == 120018 || id == 120032;
}

void placeBid(Service& svc, const httplib::Request& req, httplib::Response& res) {
  if (refusedTarget(req, res)) return;
  std::lock_guard<std::mutex> lock(svc.sim.mutex());
  const Grant* grant = admit(svc, req, res, "bid", kBidScope, kOffer);
  if (!grant || !offerMarketplace(req, res)) return;
  if (req.get_header_value("Content-Type").rfind("application/json", 0) != 0)
    return answerJson(res, 415,
                      errorsJson(2004, "ACCESS", "REQUEST",
                                 "The request has errors. Content-Type must be "
                                 "application/json."));
  Item* item = itemOf(svc, req.matches[1]);
  if (!item || !svc.listing(item->id).auction)
    return error(res, 404, kOffer, 120001, "REQUEST",
                 "The item ID " + std::string(req.matches[1]) +
                     " was not found. Check that this is an active auction item ID.");
  const json body = json::parse(req.body, nullptr, false);
  if (body.is_discarded() || !body.is_object())
    return error(res, 400, kOffer, 120013, "REQUEST", "The bid amount is missing or invalid.");
  if (!body.contains("maxAmount"))
    return error(res, 400, kOffer, 120016, "REQUEST", "The maximum bid amount is missing.");
  const json& max = body["maxAmount"];
  int64_t cents = 0;
  bool hasFraction = false;
  if (!max.is_object() || !readAmount(max.value("value", json()), cents, hasFraction))
    return error(res, 400, kOffer, 120013, "REQUEST", "The bid amount is missing or invalid.");
  static const std::regex currency("[A-Z]{3}");
  const json code = max.value("currency", json());
  if (!code.is_string() || !std::regex_match(code.get<std::string>(), currency))
    return error(res, 400, kOffer, 120014, "REQUEST",
                 "The bid currency is invalid. Refer to the documentation for a list of "
                 "currency codes.");
  if (const int id = refusal(svc, *item, grant->user, body, cents, hasFraction))
    return error(res, 409, kOffer, id, requestCategory(id) ? "REQUEST" : "BUSINESS",
                 conflictMessage(id));

  ProxyBid& bid = svc.bids[item->id][grant->user];
  if (bid.id.empty()) bid.id = std::to_string(svc.random() % 9000000000000ULL + 1000000000000ULL);
  bid.maxCents = std::max(bid.maxCents, cents);
  placeProxyBid(*item, grant->user, cents);
  answerJson(res, 200, json({{"proxyBidId", bid.id}}).dump());
}

}  // namespace

}  // namespace sim::ebay

namespace sim {

void registerEbayRoutes(Simulator& sim) {
  using namespace ebay;
  auto svc = std::make_shared<Service>(sim);
  registerTokenRoutes(sim, svc);
  auto& server = sim.server();
  server.Get("/buy/browse/v1/item/get_item_by_legacy_id",
             [svc](const httplib::Request& req, httplib::Response& res) {
               itemByLegacyId(*svc, req, res);
             });
  server.Get(
      R"(/buy/browse/v1/item/([^/]+))",
      [svc](const httplib::Request& req, httplib::Response& res) { itemById(*svc, req, res); });
  server.Post(
      R"(/buy/offer/v1_beta/bidding/([^/]+)/place_proxy_bid)",
      [svc](const httplib::Request& req, httplib::Response& res) { placeBid(*svc, req, res); });
  server.Get(
      R"(/buy/offer/v1_beta/bidding/([^/]+))",
      [svc](const httplib::Request& req, httplib::Response& res) { bidding(*svc, req, res); });
}

}  // namespace sim
