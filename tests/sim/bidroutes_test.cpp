// The simulator's bidding service as a client of the site sees it.
#include <gtest/gtest.h>

#include <regex>

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
