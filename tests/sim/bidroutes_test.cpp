// The simulator's bidding service as a client of the site sees it.
#include <gtest/gtest.h>

#include <clocale>
#include <regex>

#include "simulator.h"
#include "support/simserver.h"

namespace {
sim::Config site() {
  sim::Item item;
  item.id = "42";
  item.title = "Lampe";
  item.endMs = sim::nowMs() + 600000;
  item.price = 5.0;
  item.increment = 0.5;
  sim::Config config;
  config.items = {item};
  config.accounts = {{"alice", "a"}, {"bob", "b"}, {"carol", "c"}};
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

// Every request is in the request log, with its arrival time, before its answer arrives.
TEST(SimBidding, aConfirmationKeyCountsOnceAndUnknownRequestsGetAnUnknownPage) {
  Site s;
  const std::string confirm =
      "MfcISAPICommand=AcceptBid&item=42&maxbid=9&key=" + key(s.makeBid("9")) +
      "&user=alice&pass=a";
  EXPECT_TRUE(has(s.post(confirm), "You are the current high bidder"));
  for (const std::string& body : {confirm, std::string("MfcISAPICommand=ViewItem&item=42")})
    EXPECT_TRUE(has(s.post(body), "temporarily unavailable")) << body;
  EXPECT_TRUE(has(s.makeBid("9", "43"), "invalid"));
  const QList<QJsonObject> log = s.server.requests();
  ASSERT_EQ(log.size(), 5);
  EXPECT_EQ(log.last()["body"].toString(), "MfcISAPICommand=MakeBid&item=43&quant=1&maxbid=9");
  EXPECT_GT(log.last()["arrival_ms"].toDouble(), 0);
}

namespace {
std::optional<std::string> parse(std::vector<std::string> args, sim::Config& config) {
  args.insert(args.begin(), "auction-sim");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  return sim::parseArguments(static_cast<int>(argv.size()), argv.data(), config);
}
}  // namespace

TEST(SimOptions, bidReplyOptionsAndAmountsWhateverTheCLocale) {
  // A test process may run under a German C locale, where "1.5" is no number for strtod.
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  sim::Config config;
  const auto error = parse({"--item", "7", "--price", "1.5", "--increment", "0.25", "--no-bid-form",
                            "--unknown-reply", "--short-reply", "2"},
                           config);
  std::setlocale(LC_NUMERIC, previous.c_str());
  ASSERT_FALSE(error) << *error;
  ASSERT_EQ(config.items.size(), 1u);
  EXPECT_EQ(config.items[0].price, 1.5);
  EXPECT_EQ(config.items[0].increment, 0.25);
  EXPECT_TRUE(config.noBidForm && config.unknownReply);
  EXPECT_EQ(config.shortReplyStep, 2);
  for (const char* bad : {"3", "0", "x"}) EXPECT_TRUE(parse({"--short-reply", bad}, config)) << bad;
}
