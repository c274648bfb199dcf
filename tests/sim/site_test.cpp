// The simulator's bidding service as a client of the site sees it.
#include <gtest/gtest.h>
#include <httplib.h>

#include <QDateTime>
#include <QTimeZone>
#include <regex>

#include "app/cp1252.h"
#include "app/dateserial.h"
#include "app/regional.h"
#include "capture/titlerules.h"
#include "simulator.h"
#include "support/simserver.h"

namespace {
sim::Config site() {
  sim::Config config = lampSite("42", "alice", "a");
  config.accounts.insert({{"bob", "b"}, {"carol", "c"}});
  return config;
}

bool has(const std::string& page, const std::string& text) {
  return page.find(text) != std::string::npos;
}

// The key of the confirmation form in a page.
std::string key(const std::string& page) {
  std::smatch m;
  return std::regex_search(page, m, std::regex("name=\"key\" value=\"(\\d+)\"")) ? m[1].str()
                                                                                 : "none";
}

class Site {
 public:
  explicit Site(sim::Config config = site())
      : server(std::move(config)), client("127.0.0.1", server.port()) {}

  std::string post(const std::string& body) {
    auto res = client.Post("/ws/eBayISAPI.dll", body, "application/x-www-form-urlencoded");
    return res ? res->body : "<no answer>";
  }
  std::string makeBid(const std::string& maxbid, const std::string& item = "42") {
    return post("MfcISAPICommand=MakeBid&item=" + item + "&quant=1&maxbid=" + maxbid);
  }
  // Both steps; the confirmation posts the form's hidden fields back with the account.
  std::string bid(const std::string& user, const std::string& pass, const std::string& maxbid) {
    return post("MfcISAPICommand=AcceptBid&item=42&maxbid=" + maxbid +
                "&quant=1&key=" + key(makeBid(maxbid)) + "&user=" + user + "&pass=" + pass);
  }
  sim::Item item() {
    std::lock_guard<std::mutex> lock(server.sim().mutex());
    return server.sim().config().items.front();
  }

  SimServer server;
  httplib::Client client;
};

}  // namespace

// The price rises one increment above the next maximum (the end-to-end tests bid against a
// rival's maximum both ways); a tie goes to the earlier maximum.
TEST(SimBidding, proxyBiddingRaisesThePriceOneIncrementAboveTheNextMaximum) {
  Site s;
  EXPECT_TRUE(has(s.makeBid("4.99"), "Your bid must be at least EUR 5.00"));
  EXPECT_TRUE(has(s.makeBid("abc"), "Your bid must be at least EUR 5.00"));
  EXPECT_TRUE(has(s.bid("alice", "a", "5"), "You are the current high bidder"));
  EXPECT_EQ(s.item().price, 5.0);  // the start price while nobody else bids
  EXPECT_TRUE(has(s.makeBid("5.49"), "Your bid must be at least EUR 5.50"));
  EXPECT_TRUE(has(s.bid("bob", "b", "8"), "You are the current high bidder"));
  EXPECT_EQ(s.item().price, 5.5);
  EXPECT_TRUE(has(s.bid("carol", "c", "8"), "You have been outbid by"));
  EXPECT_EQ(s.item().price, 8.0);
  EXPECT_EQ(s.item().highBidder, "bob");
  EXPECT_EQ(s.item().bidCount, 3);
}

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
