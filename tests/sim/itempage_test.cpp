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

int64_t utcMs(int y, int mo, int d, int h, int mi, int s) {
  return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc()).toMSecsSinceEpoch();
}

sim::Item item(const std::string& id, const std::string& title, int64_t endMs) {
  sim::Item i;
  i.id = id;
  i.title = title;
  i.endMs = endMs;
  i.price = 1234.5;
  return i;
}

// The page's <title>, decoded from Windows-1252.
QString titleOf(const std::string& body) {
  const size_t from = body.find("<title>");
  const size_t to = body.find("</title>");
  if (from == std::string::npos || to == std::string::npos) return QStringLiteral("<none>");
  return cp1252::decode(QByteArray::fromStdString(body.substr(from + 7, to - from - 7)));
}

}  // namespace

TEST(ItemPage, titleCarriesNumberGermanEndTimeAndTitleInWindows1252UnknownOnesAreNotFound) {
  sim::Config config;
  config.items = {
      item("1234567890", "Nokia 3310 Handy", utcMs(2026, 12, 5, 19, 0, 0)),
      item("2000000001", "Grüße & <Küsse> für 5 € \xF0\x9F\x98\x80", utcMs(2026, 7, 1, 10, 0, 0)),
  };
  config.items[0].highBidder = "bieter_1";
  config.items[0].bidCount = 3;
  SimServer server(config);
  ASSERT_TRUE(server.ok());
  httplib::Client client("127.0.0.1", server.port());

  auto res = client.Get("/ws/eBayISAPI.dll?ViewItem&item=1234567890");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=windows-1252");
  EXPECT_EQ(titleOf(res->body), QStringLiteral("eBay Artikel 1234567890 (endet 05.12.26 20:00:00 "
                                               "MEZ) - Nokia 3310 Handy"));
  EXPECT_NE(res->body.find("1.234,50"), std::string::npos);
  EXPECT_NE(res->body.find("bieter_1"), std::string::npos);
  EXPECT_NE(res->body.find("H\xf6"
                           "chstbietender"),
            std::string::npos);

  res = client.Get("/ws/eBayISAPI.dll?viewitem&item=2000000001");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  // Raw bytes: umlauts and the euro sign in the code page, markup escaped, the rest as a
  // character reference.
  EXPECT_NE(res->body.find("Gr\xfc\xdf"
                           "e &amp; &lt;K\xfcsse&gt; f\xfcr 5 \x80 &#128512;"),
            std::string::npos)
      << res->body;
  EXPECT_NE(res->body.find("(endet 01.07.26 12:00:00 MESZ)"), std::string::npos);

  for (const char* target : {"/ws/eBayISAPI.dll?ViewItem&item=999", "/ws/eBayISAPI.dll?ViewItem",
                             "/ws/eBayISAPI.dll?ViewItemX&item=1234567890", "/ws/eBayISAPI.dll"}) {
    res = client.Get(target);
    ASSERT_TRUE(res) << target;
    EXPECT_EQ(res->status, 404) << target;
  }
}

TEST(ItemPage, summerTimeSwitchesAtOneOClockUtcOnTheLastSundays) {
  sim::Config config;
  config.items = {
      item("1", "a", utcMs(2026, 3, 29, 0, 59, 59)), item("2", "b", utcMs(2026, 3, 29, 1, 0, 0)),
      item("3", "c", utcMs(2026, 10, 25, 0, 59, 59)), item("4", "d", utcMs(2026, 10, 25, 1, 0, 0)),
      item("5", "e", utcMs(2029, 12, 31, 23, 30, 0))};
  SimServer server(config);
  ASSERT_TRUE(server.ok());
  httplib::Client client("127.0.0.1", server.port());
  const std::pair<const char*, const char*> expected[] = {{"1", "(endet 29.03.26 01:59:59 MEZ)"},
                                                          {"2", "(endet 29.03.26 03:00:00 MESZ)"},
                                                          {"3", "(endet 25.10.26 02:59:59 MESZ)"},
                                                          {"4", "(endet 25.10.26 02:00:00 MEZ)"},
                                                          {"5", "(endet 01.01.30 00:30:00 MEZ)"}};
  for (const auto& [id, text] : expected) {
    auto res = client.Get((std::string("/ws/eBayISAPI.dll?ViewItem&item=") + id).c_str());
    ASSERT_TRUE(res);
    EXPECT_NE(res->body.find(text), std::string::npos) << id << ": " << res->body;
  }
}

TEST(ItemPage, theScanReadsThePagesTitleBackIntoTheItem) {
  sim::Config config;
  config.items = {item("3141592653", "Märklin Lok BR 01 mit Tender und Originalkarton",
                       utcMs(2026, 8, 14, 16, 45, 30))};
  SimServer server(config);
  ASSERT_TRUE(server.ok());
  httplib::Client client("127.0.0.1", server.port());
  auto res = client.Get("/ws/eBayISAPI.dll?ViewItem&item=3141592653");
  ASSERT_TRUE(res);
  // A browser shows the page's title in its window title, followed by its own name.
  const QString window = titleOf(res->body) + QStringLiteral(" - Chromium");
  ASSERT_TRUE(titlerules::isAuctionPage(window));
  const titlerules::AuctionTitle a = titlerules::readAuctionTitle(window);
  EXPECT_EQ(a.itemId, QStringLiteral("3141592653"));
  EXPECT_EQ(a.auktionTitel, QStringLiteral("Märklin Lok BR 01 mit Tender und Origi"));
  EXPECT_EQ(regional::toDate(a.endText, RegionalFormat::german()),
            dateserial::fromParts({2026, 8, 14, 18, 45, 30}));
}
