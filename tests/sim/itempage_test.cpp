#include <gtest/gtest.h>
#include <httplib.h>

#include <QDateTime>
#include <QTimeZone>

#include "app/cp1252.h"
#include "app/dateserial.h"
#include "app/regional.h"
#include "capture/titlerules.h"
#include "support/simserver.h"

// A browser shows the page's title in its window title, followed by its own name: the scan
// reads the item back from what the simulator serves (German summer time, Windows-1252).
TEST(ItemPage, theScanReadsThePagesTitleBackIntoTheItem) {
  sim::Item item;
  item.id = "3141592653";
  item.title = "Märklin Lok BR 01 mit Tender und Originalkarton";
  item.endMs =
      QDateTime(QDate(2026, 8, 14), QTime(16, 45, 30), QTimeZone::utc()).toMSecsSinceEpoch();
  sim::Config config;
  config.items = {item};
  SimServer server(config);
  const auto res =
      httplib::Client("127.0.0.1", server.port()).Get("/ws/eBayISAPI.dll?ViewItem&item=3141592653");
  ASSERT_TRUE(res);
  const size_t from = res->body.find("<title>"), to = res->body.find("</title>");
  ASSERT_TRUE(from != std::string::npos && to != std::string::npos) << res->body;
  const QString window =
      cp1252::decode(QByteArray::fromStdString(res->body.substr(from + 7, to - from - 7))) +
      " - Chromium";
  ASSERT_TRUE(titlerules::isAuctionPage(window));
  const titlerules::AuctionTitle a = titlerules::readAuctionTitle(window);
  EXPECT_EQ(a.itemId, "3141592653");
  EXPECT_EQ(a.auktionTitel, "Märklin Lok BR 01 mit Tender und Origi");
  EXPECT_EQ(
      regional::toDate(a.endText, RegionalFormat::german(), dateserial::fromParts({2026, 8, 1})),
      dateserial::fromParts({2026, 8, 14, 18, 45, 30}));
}
