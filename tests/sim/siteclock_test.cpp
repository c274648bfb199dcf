// The simulator's site clock: a fractional lead over the system clock that the time page, the
// Date header, the auctions' ends and the request log all go by.
#include <gtest/gtest.h>
#include <httplib.h>

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <vector>

#include "support/simserver.h"
#include "timepage.h"  // the simulator's

namespace {
sim::Config parsed(std::vector<std::string> args, std::string* error = nullptr) {
  args.insert(args.begin(), "auction-sim");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  sim::Config config;
  const auto problem = sim::parseArguments(int(argv.size()), argv.data(), config);
  if (error) *error = problem.value_or("");
  return config;
}
}  // namespace

TEST(SiteClock, runsAheadToTheMillisecondAndEverythingOnTheSiteGoesByIt) {
  const int64_t before = sim::nowMs();
  sim::Config config = parsed({"--time-offset", "90.4", "--item", "42", "--title", "Lampe",
                               "--ends-in", "1", "--account", "a:b"});
  ASSERT_EQ(config.timeOffsetMs, 90400);
  // The auction ends a second from now by the site's clock, 91.4 s from now by the system's.
  ASSERT_EQ(config.items.size(), 1u);
  EXPECT_GE(config.items[0].endMs, before + 91400);
  EXPECT_LE(config.items[0].endMs, sim::nowMs() + 91400);
  config.items[0].endMs = sim::nowMs() + 90000;  // ended by the site's clock, not the system's

  SimServer server(config);
  httplib::Client client("127.0.0.1", server.port());
  const int64_t asked = sim::nowMs() + 90400;
  auto page = client.Get("/aw-cgi/eBayISAPI.dll?TimeShow");
  const int64_t answered = sim::nowMs() + 90400;
  ASSERT_TRUE(page);
  // The page and its Date header show the same second, one the site's clock passed meanwhile.
  const std::string date = page->get_header_value("Date");
  QDateTime shown = QLocale::c().toDateTime(QString::fromStdString(date),
                                            QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
  shown.setTimeZone(QTimeZone::utc());
  ASSERT_TRUE(shown.isValid()) << date;
  EXPECT_GE(shown.toMSecsSinceEpoch(), asked / 1000 * 1000);
  EXPECT_LE(shown.toMSecsSinceEpoch(), answered);
  EXPECT_EQ(page->body, sim::timePageHtml(shown.toMSecsSinceEpoch()));
  const std::string bid =
      client
          .Post("/ws/eBayISAPI.dll", "MfcISAPICommand=MakeBid&item=42&quant=1&maxbid=5",
                "application/x-www-form-urlencoded")
          ->body;
  EXPECT_NE(bid.find("the auction has ended"), std::string::npos);
  const QList<QJsonObject> log = server.requests();
  ASSERT_EQ(log.size(), 2);
  EXPECT_GE(log[0]["arrival_ms"].toDouble(), double(asked));
  EXPECT_LE(log[0]["arrival_ms"].toDouble(), double(answered));

  // Behind, too; nothing that is not a number of seconds.
  EXPECT_EQ(parsed({"--time-offset", "-0.0015"}).timeOffsetMs, -2);
  for (const char* bad : {"abc", "1e12", "", "90,4"}) {
    std::string error;
    parsed({"--time-offset", bad}, &error);
    EXPECT_EQ(error, std::string("bad --time-offset: ") + bad);
  }
}
