// The connection to the bid's host is opened while armed, a few seconds before the trigger, and
// opened again when the site closed it; the bid's requests go out on it. A warm-up that fails
// is logged once and the bid goes out as without it.
#include <QTest>

#include "faultfixture.h"
#include "support/texts.h"

using namespace faults;

namespace {

const QString kNotWarm = "Verbindung für das Gebot nicht vorab geöffnet: Verbindung abgelehnt";

struct WarmRun : TestWindow {
  WarmRun() : TestWindow(auctionSite()) { storeOptionsAndArm(*this); }
  // Milliseconds of the program's clock at the start of the trigger second.
  qint64 triggerMs() const {
    return (dateserial::toLinearSeconds(env.state.endet) - env.state.sectobid.toInt()) * 1000;
  }
  // One evaluation of the countdown `ms` before the trigger second, then until the warm-up it
  // may have started has ended. Whether it started one.
  bool evaluateBefore(qint64 ms) {
    env.clock.setMs(triggerMs() - ms);
    form.Update_Label();
    const bool started = env.ctx->inet1.warmingUp();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !env.ctx->inet1.warmingUp(); }, 10000));
    return started;
  }
  // Connections the site accepted (the client's side may stand a moment before the site's
  // count shows it).
  int accepted() { return site().sim().connectionsAccepted.load(); }
  bool acceptedReaches(int n) {
    return QTest::qWaitFor([&] { return accepted() >= n; }, 1000) && accepted() == n;
  }
  int closed() { return site().sim().connectionsClosed.load(); }
  int linesOf(const QString& message) const { return env.logMessages().count(message); }
};

}  // namespace

TEST(WarmConnection, isOpenedBeforeTheTriggerAgainAfterACloseAndCarriesTheBid) {
  WarmRun run;
  run.env.state.bidLimits.warmUpMs = 20000;  // room for the looks below
  EXPECT_FALSE(run.evaluateBefore(30000));   // too early
  EXPECT_EQ(run.accepted(), 0);

  // The site closes a connection that stays idle (as servers do after their keep-alive time).
  run.site().sim().server().set_keep_alive_timeout(0);
  EXPECT_TRUE(run.evaluateBefore(15000));
  EXPECT_TRUE(run.acceptedReaches(1));
  EXPECT_FALSE(run.evaluateBefore(14500));  // the connection is looked after once a second
  ASSERT_TRUE(QTest::qWaitFor([&] { return run.closed() == 1; }, 10000));
  run.site().sim().server().set_keep_alive_timeout(30);

  // A later look notices the close and connects again; a look at an open connection opens none.
  qint64 before = 14000;
  do {
    run.evaluateBefore(before);
    before -= 1000;
  } while (!run.acceptedReaches(2) && before > 4000);
  EXPECT_EQ(run.accepted(), 2);
  EXPECT_TRUE(run.evaluateBefore(before));
  EXPECT_EQ(run.closed(), 1);

  // Both steps and the vendor report go out on it: no new connection, and what the site logged
  // came on one accepted before the bid.
  const qsizetype earlier = run.site().requests().size();
  const double bidStarts = sim::nowMsPrecise();
  run.countdownThroughTheEnd();
  EXPECT_EQ(run.shown(), kHighBidder);
  EXPECT_EQ(run.accepted(), 2);
  const QList<QJsonObject> bid = run.site().requests().mid(earlier);
  ASSERT_EQ(bid.size(), 3);
  for (const QJsonObject& r : bid) {
    EXPECT_LT(r["connection_accepted_ms"].toDouble(), bidStarts) << r["path"].toString();
    EXPECT_EQ(r["client_port"].toInt(), bid.first()["client_port"].toInt());
  }
  EXPECT_EQ(run.linesOf(kNotWarm), 0);
}

TEST(WarmConnection, aFailedWarmUpIsLoggedOnceAndTheBidGoesOutAsBefore) {
  WarmRun run;
  sim::Simulator& site = run.site().sim();
  const int port = site.port();
  site.stop();  // nobody listens: the warm-ups are refused
  EXPECT_TRUE(run.evaluateBefore(3500));
  EXPECT_TRUE(run.evaluateBefore(2500));
  EXPECT_EQ(run.linesOf(kNotWarm), 1);

  site.config().port = port;
  ASSERT_EQ(site.start(), port);
  run.countdownThroughTheEnd();
  EXPECT_EQ(run.shown(), kHighBidder);
  EXPECT_EQ(run.reportCode(), "hb");
  EXPECT_EQ(run.linesOf(kNotWarm), 1);
  // The log of the bid itself reads as it always did, after the one line of the warm-up.
  const QStringList log = run.env.logMessages();
  const qsizetype at = log.indexOf("Restlaufzeit 5 Sekunden");
  ASSERT_GT(at, log.indexOf(kNotWarm));
  EXPECT_EQ(log.mid(at, 3), QStringList({"Restlaufzeit 5 Sekunden", "Bieten initialisiert",
                                         "Bieten Teil 1/2 - gestartet"}));
}
