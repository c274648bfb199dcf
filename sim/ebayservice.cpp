#include "ebayservice.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace sim::ebay {
namespace {
const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool decodePart(const std::string& s, std::string& out) {
  out.clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '+') {
      out += ' ';
    } else if (s[i] == '%') {
      if (i + 2 >= s.size() || hexValue(s[i + 1]) < 0 || hexValue(s[i + 2]) < 0) return false;
      out += static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return true;
}
}  // namespace

std::string Service::newSecret() {
  std::string bits;
  for (int i = 0; i < 48; ++i) bits += static_cast<char>(random() & 0xFF);
  std::string out = "v^1.1#i^1#p^3#r^1#I^3#f^0#t^";
  for (size_t i = 0; i < bits.size(); i += 3) {
    const auto b0 = static_cast<unsigned char>(bits[i]);
    const auto b1 = static_cast<unsigned char>(bits[i + 1]);
    const auto b2 = static_cast<unsigned char>(bits[i + 2]);
    out += kBase64[b0 >> 2];
    out += kBase64[((b0 & 3) << 4) | (b1 >> 4)];
    out += kBase64[((b1 & 15) << 2) | (b2 >> 6)];
    out += kBase64[b2 & 63];
  }
  return out + "==";
}

const EbayListing& Service::listing(const std::string& itemId) const {
  static const EbayListing defaults;
  const auto& listings = sim.config().ebay.listings;
  const auto it = listings.find(itemId);
  return it == listings.end() ? defaults : it->second;
}

int Service::forcedStatus(const std::string& operation) {
  auto& forced = sim.config().ebay.forced;
  const auto it = forced.find(operation);
  if (it == forced.end() || it->second.count == 0) return 0;
  if (it->second.count > 0) --it->second.count;
  return it->second.status;
}

bool Service::overRateLimit() {
  const int limit = sim.config().ebay.rateLimitPerMinute;
  const int64_t now = nowMs();
  while (!recentCalls.empty() && recentCalls.front() <= now - 60000) recentCalls.pop_front();
  recentCalls.push_back(now);
  return limit > 0 && recentCalls.size() > static_cast<size_t>(limit);
}

std::set<std::string> splitScopes(const std::string& text) {
  std::set<std::string> scopes;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) scopes.insert(text.substr(start, end - start));
    start = end + 1;
  }
  return scopes;
}

std::string decimal(int64_t cents) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%lld.%02lld", static_cast<long long>(cents / 100),
                static_cast<long long>(cents % 100));
  return buf;
}

std::string amountJson(const std::string& currency, int64_t cents) {
  return "{\"currency\":" + jsonString(currency) + ",\"value\":\"" + decimal(cents) + "\"}";
}

std::string isoUtc(int64_t ms) {
  const int64_t seconds = ms / 1000 - (ms % 1000 < 0);
  const time_t t = static_cast<time_t>(seconds);
  tm utc{};
  gmtime_r(&t, &utc);
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(ms - seconds * 1000));
  return buf;
}

std::string errorsJson(int errorId, const std::string& domain, const std::string& category,
                       const std::string& message) {
  return "{\"errors\":[{\"errorId\":" + std::to_string(errorId) +
         ",\"domain\":" + jsonString(domain) + ",\"category\":" + jsonString(category) +
         ",\"message\":" + jsonString(message) + "}]}";
}

void answerJson(httplib::Response& res, int status, const std::string& body) {
  res.status = status;
  res.set_content(body, "application/json");
  noteJsonAnswer(body);
}

bool parseForm(const std::string& body, std::map<std::string, std::string>& out) {
  size_t start = 0;
  while (start < body.size()) {
    size_t end = body.find('&', start);
    if (end == std::string::npos) end = body.size();
    const std::string pair = body.substr(start, end - start);
    if (!pair.empty()) {
      const size_t eq = pair.find('=');
      std::string name, value;
      if (!decodePart(pair.substr(0, eq), name)) return false;
      if (eq != std::string::npos && !decodePart(pair.substr(eq + 1), value)) return false;
      out.emplace(name, value);
    }
    start = end + 1;
  }
  return true;
}

std::string urlEncode(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

bool base64Decode(const std::string& text, std::string& out) {
  out.clear();
  if (text.size() % 4 != 0) return false;
  unsigned value = 0;
  int bits = 0;
  size_t padding = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '=') {
      if (i + 2 < text.size()) return false;
      ++padding;
      continue;
    }
    if (padding) return false;
    const char* p = std::strchr(kBase64, c);
    if (!p || c == '\0') return false;
    value = (value << 6) | static_cast<unsigned>(p - kBase64);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((value >> bits) & 0xFF);
    }
  }
  return true;
}

}  // namespace sim::ebay
