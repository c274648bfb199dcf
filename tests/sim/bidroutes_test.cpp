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
  config.accounts = {{"alice", "a"}, {"bob", "b"}, {"carol", "c"}, {"dora", "Geheim \xc3\xa4"}};
  return config;
}

class Site {
 public:
  explicit Site(sim::Config config = site())
      : server(std::move(config)), client("127.0.0.1", server.port()) {}

  std::string post(const std::string& body) {
    auto res = client.Post("/ws/eBayISAPI.dll", body, "application/x-www-form-urlencoded");
    lastCookie = res ? res->get_header_value("Set-Cookie") : "";
    return res ? res->body : "<no answer>";
  }
  std::string makeBid(const std::string& maxbid, const std::string& item = "42") {
    return post("MfcISAPICommand=MakeBid&item=" + item + "&quant=1&maxbid=" + maxbid);
  }
  // Both steps; the confirmation posts the form's hidden fields back with the account.
  std::string bid(const std::string& user, const std::string& pass, const std::string& maxbid) {
    const std::string page = makeBid(maxbid);
    std::smatch key;
    if (!std::regex_search(page, key, std::regex("name=\"key\" value=\"(\\d+)\"")))
      return "no form: " + page;
    return post("MfcISAPICommand=AcceptBid&item=42&maxbid=" + maxbid +
                "&quant=1&key=" + key[1].str() + "&user=" + user + "&pass=" + pass);
  }
  sim::Item item() {
    std::lock_guard<std::mutex> lock(server.sim().mutex());
    return server.sim().config().items.front();
  }

  SimServer server;
  httplib::Client client;
  std::string lastCookie;
};

bool has(const std::string& page, const std::string& text) {
  return page.find(text) != std::string::npos;
}
}  // namespace

TEST(SimBidding, confirmationPageCarriesThePlaceBidForm) {
  Site s;
  const std::string page = s.makeBid("7.5");
  const std::string action = "action=\"" + s.server.sim().baseUrl() + "/ws/eBayISAPI.dll\"";
  EXPECT_TRUE(has(page, "<form name=\"PlaceBid\"")) << page;
  EXPECT_TRUE(has(page, action));
  EXPECT_TRUE(has(page, "<input type=\"hidden\" name=\"item\" value=\"42\">"));
  EXPECT_TRUE(has(page, "<input type=\"hidden\" name=\"maxbid\" value=\"7.5\">"));
  EXPECT_TRUE(has(page, "<input type=\"text\" name=\"user\" value=\"\""));
  EXPECT_TRUE(has(page, "<input type=\"password\" name=\"pass\" value=\"\""));
  EXPECT_TRUE(has(page, "</form>"));
}

TEST(SimBidding, proxyBiddingRaisesThePriceOneIncrementAboveTheNextMaximum) {
  Site s;
  EXPECT_TRUE(has(s.makeBid("4.99"), "Your bid must be at least EUR 5.00"));
  EXPECT_TRUE(has(s.makeBid("abc"), "Your bid must be at least EUR 5.00"));
  EXPECT_TRUE(has(s.bid("alice", "a", "5"), "You are the current high bidder"));
  EXPECT_EQ(s.item().price, 5.0);  // the start price while nobody else bids
  EXPECT_TRUE(has(s.makeBid("5.49"), "Your bid must be at least EUR 5.50"));

  EXPECT_TRUE(has(s.bid("bob", "b", "8"), "You are the current high bidder"));
  EXPECT_EQ(s.item().price, 5.5);
  EXPECT_EQ(s.item().highBidder, "bob");

  const std::string outbid = s.bid("alice", "a", "7");
  EXPECT_TRUE(has(outbid, "You have been outbid by")) << outbid;
  EXPECT_EQ(s.item().price, 7.5);

  // A tie goes to the earlier maximum.
  EXPECT_TRUE(has(s.bid("carol", "c", "8"), "You have been outbid by"));
  EXPECT_EQ(s.item().price, 8.0);
  EXPECT_EQ(s.item().highBidder, "bob");

  // The high bidder raising the own maximum gets the item page; the price stays.
  const std::string raised = s.bid("bob", "b", "12");
  EXPECT_TRUE(has(raised, "<title>eBay item 42 - Lampe</title>")) << raised;
  EXPECT_FALSE(has(raised, "You are the current high bidder"));
  EXPECT_EQ(s.item().highMax, 12.0);
  EXPECT_EQ(s.item().price, 8.0);

  EXPECT_TRUE(has(s.bid("carol", "c", "20"), "<title>eBay item 42 - Lampe</title>"));
  EXPECT_EQ(s.item().price, 12.5);
  EXPECT_EQ(s.item().bidCount, 5);
}

TEST(SimBidding, accountsAndTheEndAreCheckedAtConfirmation) {
  Site s;
  EXPECT_TRUE(has(s.bid("mallory", "x", "6"), "Your User ID is not valid"));
  EXPECT_TRUE(has(s.bid("alice", "b", "6"), "Your sign-in information is not valid"));
  // Form values are Windows-1252: %E4 is "ä", "+" a blank.
  EXPECT_TRUE(has(s.bid("dora", "Geheim+%E4", "6"), "You are the current high bidder"));

  const std::string page = s.makeBid("9");
  std::smatch key;
  ASSERT_TRUE(std::regex_search(page, key, std::regex("name=\"key\" value=\"(\\d+)\"")));
  {
    std::lock_guard<std::mutex> lock(s.server.sim().mutex());
    s.server.sim().config().items.front().endMs = sim::nowMs() - 1;
  }
  EXPECT_TRUE(has(s.post("MfcISAPICommand=AcceptBid&item=42&maxbid=9&key=" + key[1].str() +
                         "&user=alice&pass=a"),
                  "because the auction has ended"));
  EXPECT_TRUE(has(s.makeBid("9"), "because the auction has ended"));

  // A key used once, an unknown one, or an unknown command: a page with none of the texts.
  for (const std::string& body :
       {"MfcISAPICommand=AcceptBid&item=42&maxbid=9&key=" + key[1].str() + "&user=alice&pass=a",
        std::string("MfcISAPICommand=AcceptBid&item=42&key=1&user=alice&pass=a"),
        std::string("MfcISAPICommand=ViewItem&item=42")}) {
    const std::string reply = s.post(body);
    EXPECT_TRUE(has(reply, "temporarily unavailable")) << body;
  }
  EXPECT_TRUE(has(s.makeBid("9", "43"), "invalid"));
}

TEST(SimBidding, signInOnceAndTheBrokenRepliesOnDemand) {
  sim::Config config = site();
  config.signinOnce = true;
  {
    Site s(config);
    EXPECT_TRUE(has(s.bid("alice", "a", "6"), "Welcome to eBay!"));
    EXPECT_TRUE(has(s.lastCookie, "ebaysession="));
    EXPECT_TRUE(has(s.bid("alice", "a", "6"), "You are the current high bidder"));
  }
  config = site();
  config.noBidForm = true;
  {
    Site s(config);
    const std::string page = s.makeBid("6");
    EXPECT_TRUE(has(page, "Review and confirm your bid"));
    EXPECT_FALSE(has(page, "PlaceBid"));
    EXPECT_TRUE(has(s.makeBid("1"), "Your bid must be at least"));  // refusals stay
  }
  config = site();
  config.unknownReply = true;
  {
    Site s(config);
    const std::string reply = s.bid("alice", "a", "6");
    EXPECT_TRUE(has(reply, "temporarily unavailable")) << reply;
    EXPECT_TRUE(s.item().highBidder.empty());
  }
  for (int step : {1, 2}) {
    config = site();
    config.shortReplyStep = step;
    Site s(config);
    EXPECT_EQ(step == 1 ? s.makeBid("6") : s.bid("alice", "a", "6"), "OK");
  }
}

TEST(SimBidding, everyRequestIsInTheLogBeforeItsAnswerArrives) {
  Site s;
  for (int i = 1; i <= 30; ++i) {
    s.makeBid("6");
    ASSERT_EQ(s.server.requests().size(), i);
  }
  const QJsonObject last = s.server.requests().last();
  EXPECT_EQ(last["method"].toString(), "POST");
  EXPECT_EQ(last["path"].toString(), "/ws/eBayISAPI.dll");
  EXPECT_EQ(last["body"].toString(), "MfcISAPICommand=MakeBid&item=42&quant=1&maxbid=6");
  EXPECT_GT(last["arrival_ms"].toDouble(), 0);
}

TEST(SimOptions, bidReplyOptionsAndAmountsWhateverTheCLocale) {
  // A test process may run under a German C locale, where "1.5" is no number for strtod.
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  std::vector<std::string> args = {"auction-sim",
                                   "--item",
                                   "7",
                                   "--price",
                                   "1.5",
                                   "--increment",
                                   "0.25",
                                   "--no-bid-form",
                                   "--unknown-reply",
                                   "--short-reply",
                                   "2",
                                   "--signin-once"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  sim::Config config;
  const auto error = sim::parseArguments(static_cast<int>(argv.size()), argv.data(), config);
  std::setlocale(LC_NUMERIC, previous.c_str());
  ASSERT_FALSE(error) << *error;
  ASSERT_EQ(config.items.size(), 1u);
  EXPECT_EQ(config.items[0].price, 1.5);
  EXPECT_EQ(config.items[0].increment, 0.25);
  EXPECT_TRUE(config.noBidForm);
  EXPECT_TRUE(config.unknownReply);
  EXPECT_TRUE(config.signinOnce);
  EXPECT_EQ(config.shortReplyStep, 2);

  for (const char* bad : {"3", "0", "x"}) {
    std::vector<std::string> a = {"auction-sim", "--short-reply", bad};
    std::vector<char*> v;
    for (auto& s : a) v.push_back(s.data());
    sim::Config c;
    EXPECT_TRUE(sim::parseArguments(3, v.data(), c)) << bad;
  }
  EXPECT_NE(sim::usage().find("--unknown-reply"), std::string::npos);
}
