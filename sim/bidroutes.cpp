// The auction site's bidding service: "/ws/eBayISAPI.dll" answers the bid ("MakeBid") with a
// confirmation page carrying the "PlaceBid" form, and the posted form ("AcceptBid") with the
// site's verdict. Bidding works by proxy: the high bidder pays one increment above the next
// maximum, never more than their own maximum.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <memory>
#include <random>

#include "auction.h"
#include "simulator.h"

namespace sim {
namespace {

using Form = std::map<std::string, std::string>;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The site speaks Windows-1252; the simulator keeps its texts (titles, accounts from the
// command line) in UTF-8. Codes 0x80..0x9F that differ from Latin-1, 0 where unassigned.
const char16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string cp1252ToUtf8(const std::string& bytes) {
  std::string out;
  for (unsigned char b : bytes) {
    char32_t c = b;
    if (b >= 0x80 && b <= 0x9F && kCp1252High[b - 0x80] != 0) c = kCp1252High[b - 0x80];
    appendUtf8(out, c);
  }
  return out;
}

// A page for the wire: characters without a Windows-1252 code become "?".
std::string utf8ToCp1252(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    char32_t c = b;
    size_t len = 1;
    if (b >= 0xF0) {
      len = 4;
    } else if (b >= 0xE0) {
      len = 3;
      c = b & 0x0F;
    } else if (b >= 0xC0) {
      len = 2;
      c = b & 0x1F;
    }
    if (len > 1) {
      if (len == 4 || i + len > text.size()) {
        out += '?';
        i += std::min(len, text.size() - i);
        continue;
      }
      for (size_t k = 1; k < len; ++k) c = (c << 6) | (text[i + k] & 0x3F);
    }
    i += len;
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out += static_cast<char>(c);
      continue;
    }
    char code = '?';
    for (int k = 0; k < 32; ++k)
      if (kCp1252High[k] != 0 && kCp1252High[k] == c) code = static_cast<char>(0x80 + k);
    out += code;
  }
  return out;
}

// One part of a form body: "+" is a blank, %XX a byte (Windows-1252); a stray "%" stays.
std::string decodePart(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '+') {
      out += ' ';
    } else if (s[i] == '%' && i + 2 < s.size() && hexValue(s[i + 1]) >= 0 &&
               hexValue(s[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

// An application/x-www-form-urlencoded body, in UTF-8; the first of a repeated name counts.
Form parseForm(const std::string& body) {
  Form form;
  size_t start = 0;
  while (start <= body.size()) {
    size_t end = body.find('&', start);
    if (end == std::string::npos) end = body.size();
    const std::string pair = body.substr(start, end - start);
    if (!pair.empty()) {
      const size_t eq = pair.find('=');
      const std::string name = decodePart(pair.substr(0, eq));
      const std::string value = eq == std::string::npos ? std::string() : pair.substr(eq + 1);
      form.emplace(cp1252ToUtf8(name), cp1252ToUtf8(decodePart(value)));
    }
    start = end + 1;
  }
  return form;
}

std::string field(const Form& form, const std::string& name) {
  const auto it = form.find(name);
  return it == form.end() ? std::string() : it->second;
}

bool parseAmount(const std::string& text, int64_t& cents) {
  double value = 0;
  const char* first = text.data();
  const char* last = first + text.size();
  const auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last || !(value >= 0) || value > 1e12) return false;
  cents = toCents(value);
  return true;
}

std::string money(int64_t cents) {
  return "EUR " + std::to_string(cents / 100) + "." + (cents % 100 < 10 ? "0" : "") +
         std::to_string(cents % 100);
}

std::string page(const std::string& title, const std::string& body) {
  return "<html>\r\n<head><title>" + title + "</title></head>\r\n<body>\r\n" + body +
         "\r\n</body>\r\n</html>\r\n";
}

void answer(httplib::Response& res, const std::string& html) {
  res.set_content(utf8ToCp1252(html), "text/html; charset=windows-1252");
}

std::string itemTitle(const Item& item) {
  return "eBay item " + item.id + " - " + escapeHtml(item.title);
}

std::string tooLow(const Item& item) {
  return page("eBay - Bid", "<p>Your bid must be at least " + money(minimumBid(item)) + ".</p>");
}

std::string ended(const Item& item) {
  return page("eBay - Bid", "<p>Sorry, your bid on " + escapeHtml(item.title) +
                                " cannot be accepted because the auction has ended.</p>");
}

std::string invalidItem() {
  return page("eBay - Invalid Item",
              "<p>The item you requested is invalid, has been removed or is no longer "
              "available.</p>");
}

// A page the program knows none of the texts of.
std::string serviceTrouble() {
  return page("eBay - Problem",
              "<p>We're sorry, the service is temporarily unavailable. Please try again "
              "later.</p>");
}

// State of the bidding service beyond the items: the keys of the confirmation forms.
struct PendingBid {
  std::string item;
  int64_t cents = 0;
};
struct BidService {
  std::map<std::string, PendingBid> pending;  // key -> bid waiting for its confirmation
  std::mt19937_64 random{std::random_device{}()};
};

// Step 1: the bid for an item. Called with the simulator's mutex held.
std::string makeBid(Simulator& sim, BidService& svc, const Form& form) {
  Item* item = sim.findItem(field(form, "item"));
  if (!item) return invalidItem();
  if (sim.siteNowMs() >= item->endMs) return ended(*item);
  int64_t cents = 0;
  if (!parseAmount(field(form, "maxbid"), cents) || cents < minimumBid(*item)) return tooLow(*item);
  const std::string review = "<h1>Review and confirm your bid</h1>\r\n<p>" + itemTitle(*item) +
                             "</p>\r\n<p>Your maximum bid: " + money(cents) + "</p>\r\n";
  if (sim.config().noBidForm)
    return page("eBay - Review bid", review + "<p>Bidding is not possible right now.</p>");

  const std::string key = std::to_string(svc.random());
  svc.pending[key] = {item->id, cents};
  const std::string action = sim.config().bidFormAction.empty()
                                 ? sim.baseUrl() + "/ws/eBayISAPI.dll"
                                 : sim.config().bidFormAction;
  return page("eBay - Review bid",
              review + "<form name=\"PlaceBid\" method=\"post\" action=\"" + action + "\">\r\n" +
                  "<input type=\"hidden\" name=\"MfcISAPICommand\" value=\"AcceptBid\">\r\n"
                  "<input type=\"hidden\" name=\"item\" value=\"" +
                  escapeHtml(item->id) +
                  "\">\r\n"
                  "<input type=\"hidden\" name=\"maxbid\" value=\"" +
                  escapeHtml(field(form, "maxbid")) +
                  "\">\r\n"
                  "<input type=\"hidden\" name=\"quant\" value=\"1\">\r\n"
                  "<input type=\"hidden\" name=\"key\" value=\"" +
                  key +
                  "\">\r\n"
                  "User ID: <input type=\"text\" name=\"user\" value=\"\" size=\"20\">\r\n"
                  "Password: <input type=\"password\" name=\"pass\" value=\"\" size=\"20\">\r\n"
                  "<input type=\"checkbox\" name=\"keepme\" value=\"1\"> Keep me signed in\r\n"
                  "<input type=\"submit\" name=\"confirm\" value=\"Confirm bid\">\r\n"
                  "</form>");
}

// Step 2: the confirmed bid with the bidder's account. Called with the simulator's mutex held.
std::string acceptBid(Simulator& sim, BidService& svc, const Form& form, httplib::Response& res) {
  if (sim.config().signinOnce && !sim.signinServed) {
    sim.signinServed = true;
    res.set_header("Set-Cookie", "ebaysession=" + std::to_string(svc.random()) + "; Path=/");
    return page("Sign In",
                "<h1>Welcome to eBay!</h1>\r\n<p>Please sign in to continue.</p>\r\n"
                "<form name=\"SignInForm\" method=\"post\" action=\"/ws/eBayISAPI.dll\">\r\n"
                "<input type=\"text\" name=\"userid\" value=\"\">\r\n"
                "<input type=\"password\" name=\"pass\" value=\"\">\r\n</form>");
  }
  if (sim.config().unknownReply) return serviceTrouble();

  const auto pendingIt = svc.pending.find(field(form, "key"));
  if (pendingIt == svc.pending.end() || pendingIt->second.item != field(form, "item"))
    return serviceTrouble();
  const PendingBid bid = pendingIt->second;
  svc.pending.erase(pendingIt);

  std::string user = field(form, "user");
  if (user.empty()) user = field(form, "userid");
  const auto account = sim.config().accounts.find(user);
  if (account == sim.config().accounts.end())
    return page("eBay - Sign In", "<p>Your User ID is not valid. Please try again.</p>");
  if (account->second != field(form, "pass"))
    return page("eBay - Sign In",
                "<p>Your sign-in information is not valid. Please try again.</p>");

  Item* item = sim.findItem(bid.item);
  if (!item) return invalidItem();
  if (sim.siteNowMs() >= item->endMs) return ended(*item);

  const std::string title = "<title>" + itemTitle(*item) + "</title>";
  if (item->highBidder != user && bid.cents < minimumBid(*item)) return tooLow(*item);
  switch (placeProxyBid(*item, user, bid.cents)) {
    case ProxyResult::Raised:
      return "<html>\r\n<head>" + title + "</head>\r\n<body>\r\n<p>Your maximum bid is now " +
             money(toCents(item->highMax)) + ".</p>\r\n</body>\r\n</html>\r\n";
    case ProxyResult::HighBidder:
      return "<html>\r\n<head>" + title +
             "</head>\r\n<body>\r\n<p>You are the current high "
             "bidder. Current bid: " +
             money(toCents(item->price)) + "</p>\r\n</body>\r\n</html>\r\n";
    case ProxyResult::Outbid:
      break;
  }
  return page("eBay - Bid", "<p>You have been outbid by another bidder. Current bid: " +
                                money(toCents(item->price)) + "</p>");
}

// Both steps come to the same address; the command field tells them apart.
void handleBid(Simulator& sim, BidService& svc, const httplib::Request& req,
               httplib::Response& res) {
  const Form form = parseForm(req.body);
  const std::string command = field(form, "MfcISAPICommand");
  const int step = command == "MakeBid" ? 1 : command == "AcceptBid" ? 2 : 0;
  {
    std::lock_guard<std::mutex> lock(sim.mutex());
    if (step != 0 && sim.config().shortReplyStep == step)
      answer(res, "OK");
    else if (step == 1)
      answer(res, makeBid(sim, svc, form));
    else if (step == 2)
      answer(res, acceptBid(sim, svc, form, res));
    else
      answer(res, serviceTrouble());
  }
  // Outside the lock: a step that hangs must not hold up the other routes.
  if (step != 0) applyBidFault(sim, step, field(form, "item"), req, res);
}

}  // namespace

void registerBidRoutes(Simulator& sim) {
  auto svc = std::make_shared<BidService>();
  sim.server().Post("/ws/eBayISAPI.dll",
                    [&sim, svc](const httplib::Request& req, httplib::Response& res) {
                      handleBid(sim, *svc, req, res);
                    });
}

}  // namespace sim
