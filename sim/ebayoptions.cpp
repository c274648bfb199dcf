// The command-line options of eBay's API on the simulator.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <set>

#include "ebayservice.h"

namespace sim {
namespace {

bool toCents(const std::string& s, int64_t& cents) {
  double value = 0;
  const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || ec != std::errc() || ptr != s.data() + s.size() || !(value >= 0) || value > 1e12)
    return false;
  cents = std::llround(value * 100.0);
  return true;
}

bool toInt(const std::string& s, int64_t& out, int64_t low, int64_t high) {
  char* end = nullptr;
  out = std::strtoll(s.c_str(), &end, 10);
  return !s.empty() && end && *end == '\0' && out >= low && out <= high;
}

// "APPID:CERTID:RUNAME"
bool parseKeyset(const std::string& v, EbayConfig& cfg) {
  const size_t a = v.find(':');
  const size_t b = a == std::string::npos ? a : v.find(':', a + 1);
  if (b == std::string::npos || a == 0 || b == a + 1 || b + 1 >= v.size()) return false;
  cfg.appId = v.substr(0, a);
  cfg.certId = v.substr(a + 1, b - a - 1);
  cfg.ruName = v.substr(b + 1);
  return true;
}

// "OPERATION:STATUS[:COUNT]"
bool parseForced(const std::string& v, EbayConfig& cfg) {
  const size_t a = v.find(':');
  if (a == std::string::npos) return false;
  const std::string operation = v.substr(0, a);
  if (operation != "token" && operation != "item" && operation != "bid" && operation != "bidding")
    return false;
  const size_t b = v.find(':', a + 1);
  int64_t status = 0, count = 1;
  if (!toInt(v.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1), status, 401,
             599) ||
      (status != 401 && status != 429 && status < 500))
    return false;
  if (b != std::string::npos && v.substr(b + 1) != "all" &&
      !toInt(v.substr(b + 1), count, 1, 1000000))
    return false;
  if (b != std::string::npos && v.substr(b + 1) == "all") count = -1;
  cfg.forced[operation] = {static_cast<int>(status), static_cast<int>(count)};
  return true;
}

bool parseListingKind(const std::string& v, EbayListing& l) {
  if (v == "fixed-price") {
    l.auction = false;
  } else if (v == "adult") {
    l.adultOnly = true;
  } else if (v == "whole-amounts") {
    l.wholeAmounts = true;
  } else {
    return false;
  }
  return true;
}

}  // namespace

std::string ebayUsage() {
  return "eBay's API (token endpoint, consent page, Browse, Offer) on the same port:\n"
         "  --ebay-keyset APPID:CERTID:RUNAME  the one keyset the token endpoint and the\n"
         "                   consent page accept (without it every token request fails)\n"
         "  --ebay-accept-url URL  where the consent page sends the browser with code and\n"
         "                   state (default: the simulator's own page /ebay/accepted)\n"
         "  --ebay-decline-url URL  where a refused consent goes (default: the accept URL)\n"
         "  --ebay-token-lifetime SECONDS  access tokens expire after this (default 7200)\n"
         "  --ebay-refresh-lifetime SECONDS  refresh tokens expire after this (18 months)\n"
         "  --ebay-rate-limit N  more than N Browse and Offer calls a minute answer 429\n"
         "  --ebay-bid-limit AMOUNT  bids above answer 120011 (default 1000000)\n"
         "  --ebay-status OPERATION:STATUS[:COUNT]  the next COUNT calls (default 1, \"all\")\n"
         "                   of token, item (Browse), bid (place_proxy_bid) or bidding answer\n"
         "                   STATUS: 401, 429 or a 5xx\n"
         "  after --item: --currency CODE (default EUR), --seller USER, --buy-it-now AMOUNT,\n"
         "                   --listing fixed-price|adult|whole-amounts, --refuse-bids ERRORID\n"
         "                   (every bid on the item is refused with that 409 error id)\n"
         "  The consent page signs in with the accounts of --account.\n";
}

bool parseEbayOption(const std::string& opt, const std::function<bool(std::string&)>& value,
                     Config& config, Item* item, std::string& error) {
  static const std::set<std::string> itemOptions = {"--currency", "--seller", "--buy-it-now",
                                                    "--listing", "--refuse-bids"};
  const bool itemOption = itemOptions.count(opt) > 0;
  if (!itemOption && opt.rfind("--ebay-", 0) != 0) return false;
  std::string v;
  if (!value(v)) {
    error = "missing value for " + opt;
    return true;
  }
  EbayConfig& cfg = config.ebay;
  int64_t n = 0;
  bool ok = true;
  if (itemOption) {
    if (!item) {
      error = opt + " must follow --item";
      return true;
    }
    EbayListing& l = cfg.listings[item->id];
    if (opt == "--currency") {
      ok = v.size() == 3 &&
           std::all_of(v.begin(), v.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
      if (ok) l.currency = v;
    } else if (opt == "--seller") {
      l.seller = v;
    } else if (opt == "--buy-it-now") {
      ok = toCents(v, l.buyItNowCents) && l.buyItNowCents > 0;
    } else if (opt == "--listing") {
      ok = parseListingKind(v, l);
    } else {
      ok = toInt(v, n, 120000, 129999) && !ebay::conflictMessage(static_cast<int>(n)).empty();
      if (ok) l.refusal = static_cast<int>(n);
    }
  } else if (opt == "--ebay-keyset") {
    ok = parseKeyset(v, cfg);
  } else if (opt == "--ebay-accept-url") {
    cfg.acceptUrl = v;
  } else if (opt == "--ebay-decline-url") {
    cfg.declineUrl = v;
  } else if (opt == "--ebay-token-lifetime") {
    ok = toInt(v, cfg.accessTokenSeconds, 1, 1000000000);
  } else if (opt == "--ebay-refresh-lifetime") {
    ok = toInt(v, cfg.refreshTokenSeconds, 1, 1000000000);
  } else if (opt == "--ebay-rate-limit") {
    ok = toInt(v, n, 1, 1000000);
    cfg.rateLimitPerMinute = static_cast<int>(n);
  } else if (opt == "--ebay-bid-limit") {
    ok = toCents(v, cfg.bidLimitCents);
  } else if (opt == "--ebay-status") {
    ok = parseForced(v, cfg);
  } else {
    error = "unknown option " + opt;
  }
  if (!ok) error = "bad " + opt + ": " + v;
  return true;
}

}  // namespace sim
