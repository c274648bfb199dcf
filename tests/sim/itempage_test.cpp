#include <gtest/gtest.h>
#include <httplib.h>

#include <QDateTime>
#include <QTimeZone>

#include "app/cp1252.h"
#include "app/dateserial.h"
#include "app/regional.h"
#include "capture/titlerules.h"
#include "support/simserver.h"

namespace {

sim::Item item(const std::string& id, const std::string& title, int y, int mo, int d, int h, int mi,
               int s) {
  sim::Item i;
  i.id = id;
  i.title = title;
  i.endMs = QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc()).toMSecsSinceEpoch();
  i.price = 1234.5;
  return i;
}

// A site with every item of these tests; the end times are given in UTC.
struct ItemSite {
  ItemSite() : server(config()), client("127.0.0.1", server.port()) {}
  static sim::Config config() {
    sim::Config c;
    c.items = {item("1234567890", "Nokia 3310 Handy", 2026, 12, 5, 19, 0, 0),
               item("2000000001", "Grüße & <Küsse> für 5 € \xF0\x9F\x98\x80", 2026, 7, 1, 10, 0, 0),
               item("3141592653", "Märklin Lok BR 01 mit Tender und Originalkarton", 2026, 8, 14,
                    16, 45, 30),
               item("1", "a", 2026, 3, 29, 0, 59, 59),
               item("2", "b", 2026, 3, 29, 1, 0, 0),
               item("3", "c", 2026, 10, 25, 0, 59, 59),
               item("4", "d", 2026, 10, 25, 1, 0, 0),
               item("5", "e", 2029, 12, 31, 23, 30, 0)};
    return c;
  }
  // The body of a reply ("<status N>" for any status but 200).
  std::string get(const std::string& target) {
    const auto res = client.Get(target.c_str());
    if (!res) return "<no answer>";
    return res->status == 200 ? res->body : "<status " + std::to_string(res->status) + ">";
  }
  std::string page(const std::string& id) { return get("/ws/eBayISAPI.dll?ViewItem&item=" + id); }

  SimServer server;
  httplib::Client client;
};

// The page's <title>, decoded from Windows-1252.
QString titleOf(const std::string& body) {
  const size_t from = body.find("<title>");
  const size_t to = body.find("</title>");
  if (from == std::string::npos || to == std::string::npos) return "<none>";
  return cp1252::decode(QByteArray::fromStdString(body.substr(from + 7, to - from - 7)));
}

}  // namespace

TEST(ItemPage, titleCarriesNumberGermanEndTimeAndTitleInWindows1252UnknownOnesAreNotFound) {
  ItemSite s;
  const auto res = s.client.Get("/ws/eBayISAPI.dll?ViewItem&item=1234567890");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=windows-1252");
  EXPECT_EQ(titleOf(res->body),
            "eBay Artikel 1234567890 (endet 05.12.26 20:00:00 MEZ) - Nokia 3310 Handy");
  // Raw bytes: umlauts and the euro sign in the code page, markup escaped, the rest as a
  // character reference.
  const std::string page = s.get("/ws/eBayISAPI.dll?viewitem&item=2000000001");
  EXPECT_NE(page.find("Gr\xfc\xdf"
                      "e &amp; &lt;K\xfcsse&gt; f\xfcr 5 \x80 &#128512;"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find("(endet 01.07.26 12:00:00 MESZ)"), std::string::npos);
  // The site's short links lead to the same page.
  for (const char* target : {"/itm/1234567890", "/itm/Nokia-3310-Handy/1234567890/?hash=1#top"})
    EXPECT_EQ(s.get(target), s.page("1234567890")) << target;
  for (const char* target : {"/ws/eBayISAPI.dll?ViewItem&item=999", "/ws/eBayISAPI.dll?ViewItem",
                             "/ws/eBayISAPI.dll?ViewItemX&item=1234567890", "/ws/eBayISAPI.dll",
                             "/itm/999", "/itm/a/b/1234567890", "/itm/Nokia"})
    EXPECT_EQ(s.get(target), "<status 404>") << target;
}

TEST(ItemPage, summerTimeSwitchesAtOneOClockUtcOnTheLastSundays) {
  ItemSite s;
  const std::pair<const char*, const char*> expected[] = {{"1", "(endet 29.03.26 01:59:59 MEZ)"},
                                                          {"2", "(endet 29.03.26 03:00:00 MESZ)"},
                                                          {"3", "(endet 25.10.26 02:59:59 MESZ)"},
                                                          {"4", "(endet 25.10.26 02:00:00 MEZ)"},
                                                          {"5", "(endet 01.01.30 00:30:00 MEZ)"}};
  for (const auto& [id, text] : expected) {
    const std::string page = s.page(id);
    EXPECT_NE(page.find(text), std::string::npos) << id << ": " << page;
  }
}

// A browser shows the page's title in its window title, followed by its own name.
TEST(ItemPage, theScanReadsThePagesTitleBackIntoTheItem) {
  ItemSite s;
  const QString window = titleOf(s.page("3141592653")) + " - Chromium";
  ASSERT_TRUE(titlerules::isAuctionPage(window));
  const titlerules::AuctionTitle a = titlerules::readAuctionTitle(window);
  EXPECT_EQ(a.itemId, "3141592653");
  EXPECT_EQ(a.auktionTitel, "Märklin Lok BR 01 mit Tender und Origi");
  EXPECT_EQ(
      regional::toDate(a.endText, RegionalFormat::german(), dateserial::fromParts({2026, 8, 1})),
      dateserial::fromParts({2026, 8, 14, 18, 45, 30}));
}
