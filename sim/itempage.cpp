// The item page a browser shows: its HTML title is what the program reads from the browser's
// window title, e.g. "eBay Artikel 1234567890 (endet 05.12.26 20:00:00 MEZ) - Nokia 3310 Handy".
#include <cctype>
#include <chrono>
#include <cstdio>
#include <thread>

#include "germantime.h"
#include "simulator.h"

namespace sim {
namespace {

// Windows-1252 codes 0x80 to 0x9F (0 where the page has no character).
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Decodes UTF-8; a byte that starts no valid sequence stands for itself (Latin-1).
std::u32string decodeUtf8(const std::string& s) {
  std::u32string out;
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    bool ok = len > 0 && i + len <= s.size();
    for (int k = 1; ok && k < len; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      ok = (c >> 6) == 2;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (ok && len > 1) {
      static const char32_t minimum[5] = {0, 0, 0x80, 0x800, 0x10000};
      ok = cp >= minimum[len] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
    }
    if (!ok) {
      out += static_cast<char32_t>(b);
      ++i;
    } else {
      out += cp;
      i += static_cast<size_t>(len);
    }
  }
  return out;
}

// Text for an HTML page in Windows-1252: markup characters escaped, characters the code page
// lacks as numeric references.
std::string html1252(const std::string& utf8) {
  std::string out;
  for (char32_t cp : decodeUtf8(utf8)) {
    switch (cp) {
      case U'&':
        out += "&amp;";
        continue;
      case U'<':
        out += "&lt;";
        continue;
      case U'>':
        out += "&gt;";
        continue;
      case U'"':
        out += "&quot;";
        continue;
      default:
        break;
    }
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out += static_cast<char>(cp);
      continue;
    }
    bool coded = false;
    for (int k = 0; k < 32 && !coded; ++k) {
      if (kCp1252High[k] == cp) {
        out += static_cast<char>(0x80 + k);
        coded = true;
      }
    }
    if (!coded) out += "&#" + std::to_string(static_cast<uint32_t>(cp)) + ";";
  }
  return out;
}

// The end as the item page's title shows it: "dd.MM.yy HH:mm:ss MEZ" (or MESZ).
std::string germanEndText(int64_t utcMs) {
  const GermanTime t = germanTime(utcMs);  // "dd.MM.yyyy HH:mm:ss"
  return t.stamp.substr(0, 6) + t.stamp.substr(8) + " " + t.zone;
}

// "1.234,50"
std::string germanMoney(double amount) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", amount);
  std::string s = buf;
  const size_t dot = s.find('.');
  std::string whole = s.substr(0, dot);
  const std::string cents = s.substr(dot + 1);
  const bool negative = !whole.empty() && whole[0] == '-';
  if (negative) whole.erase(0, 1);
  for (int pos = static_cast<int>(whole.size()) - 3; pos > 0; pos -= 3)
    whole.insert(static_cast<size_t>(pos), ".");
  return (negative ? "-" : "") + whole + "," + cents;
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

const char* const kContentType = "text/html; charset=windows-1252";

void notFound(httplib::Response& res, const std::string& what) {
  res.status = 404;
  res.set_content("<html><head><title>eBay - Seite nicht gefunden</title></head><body><p>" +
                      html1252(what) + "</p></body></html>\n",
                  kContentType);
}

// The item page of one item, or "not found".
void servePage(Simulator& sim, const std::string& id, httplib::Response& res) {
  Item item;
  std::string fault;
  {
    std::lock_guard<std::mutex> lock(sim.mutex());
    const Item* found = id.empty() ? nullptr : sim.findItem(id);
    if (!found) {
      notFound(res, "Der Artikel " + id + " wurde nicht gefunden.");
      return;
    }
    item = *found;
    fault = sim.config().itemFault;
  }
  const std::string end = germanEndText(item.endMs);
  const std::string title = "eBay Artikel " + item.id + " (endet " + end + ") - " + item.title;
  const bool ended = sim.siteNowMs() >= item.endMs;
  if (ended && item.endedPageDelayMs > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(item.endedPageDelayMs));
  std::string body =
      "<html><head>\n<meta http-equiv=\"Content-Type\" content=\"" + std::string(kContentType) +
      "\">\n<title>" + html1252(title) + "</title>\n</head><body>\n<h1>" + html1252(item.title) +
      "</h1>\n<table>\n<tr><td>Artikelnummer:</td><td>" + html1252(item.id) + "</td></tr>\n" +
      "<tr><td>" + html1252(item.bidCount ? "Aktuelles Gebot:" : "Startpreis:") + "</td><td>EUR " +
      germanMoney(item.price) + "</td></tr>\n" + "<tr><td>" + html1252("Höchstbietender:") +
      "</td><td>" + html1252(item.highBidder.empty() ? "(noch keine Gebote)" : item.highBidder) +
      "</td></tr>\n<tr><td>Gebote:</td><td>" + std::to_string(item.bidCount) +
      "</td></tr>\n<tr><td>Angebotsende:</td><td>" + html1252(end) + (ended ? " (beendet)" : "") +
      "</td></tr>\n</table>\n</body></html>\n";
  res.set_content(body, kContentType);
  if (!fault.empty()) applyFault(sim, fault, res);
}

}  // namespace

void registerItemPage(Simulator& sim) {
  // "/ws/eBayISAPI.dll?ViewItem&item=ID": the command is a bare word, the item a parameter.
  sim.server().Get(
      R"(/ws/eBayISAPI\.dll)", [&sim](const httplib::Request& req, httplib::Response& res) {
        const size_t q = req.target.find('?');
        const std::string query = q == std::string::npos ? std::string() : req.target.substr(q + 1);
        const std::string command = query.substr(0, query.find('&'));
        if (!equalsIgnoringCase(command, "ViewItem")) {
          notFound(res, "Unbekannter Befehl.");
          return;
        }
        servePage(sim, req.get_param_value("item"), res);
      });
  // The site's short links, "/itm/ID" and "/itm/words-of-the-title/ID", lead to the same page.
  sim.server().Get(R"(/itm/(?:[^/]+/)?(\d+)/?)",
                   [&sim](const httplib::Request& req, httplib::Response& res) {
                     servePage(sim, req.matches[1].str(), res);
                   });
}

}  // namespace sim
