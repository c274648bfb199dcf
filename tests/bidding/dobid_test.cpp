// The bid transaction end to end against the auction-site simulator on loopback.
#include <gtest/gtest.h>

#include "printers.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QRegularExpression>

#include "app/cp1252.h"
#include "bidding/dobid.h"
#include "bidding/formreader.h"
#include "bidding/inet.h"
#include "sniper/form1.h"
#include "support/simserver.h"
#include "support/testenv.h"

namespace {
const char* const kItem = "1234567890";

sim::Item auction(double price = 5.0, int64_t endsInMs = 600000) {
  sim::Item item;
  item.id = kItem;
  item.title = "Lampe";
  item.endMs = sim::nowMs() + endsInMs;
  item.price = price;
  item.increment = 0.5;
  return item;
}

sim::Config site(std::vector<sim::Item> items = {auction()}) {
  sim::Config config;
  config.items = std::move(items);
  config.accounts["bieter"] = "Geheim ä";
  config.vendorVersion = "1.03.0006";
  return config;
}

// One program with its main window bidding against its own simulator.
struct BidRun {
  explicit BidRun(sim::Config config) : server(std::move(config)), form(*env.ctx) {
    AppState& s = env.state;
    s.endpoints = server.endpoints();
    s.VersionText = "1.3.6";
    s.InstallTag = "Linux";
    s.ItemID = kItem;
    s.user = "bieter";
    s.pass = QString::fromUtf8("Geheim ä");
    s.maxBid = 12.5f;
    form.Lbl_update->hide();  // as the start-up leaves it without an announced version
  }

  void bid() { do_bid(form); }
  // Runs `action` once, after the n-th completed reply (1-based) has been collected.
  void afterReply(int n, std::function<void()> action) {
    auto count = std::make_shared<int>(0);
    QObject::connect(form.Inet1, &Inet::StateChanged, form.Inet1, [=](int state) {
      if (state == Inet::kResponseCompleted && ++*count == n) action();
    });
  }
  sim::Item& item() { return server.sim().config().items.front(); }

  QStringList requestLines() const {
    QStringList out;
    for (const QJsonObject& r : server.requests())
      out.append(r["method"].toString() + " " + r["path"].toString());
    return out;
  }
  QJsonObject request(int i) const { return server.requests().value(i); }
  static QString header(const QJsonObject& r, const char* name) {
    return r["headers"].toObject()[name].toString();
  }
  QString reportAgent() const {
    const auto all = server.requests();
    return all.isEmpty() ? QString() : header(all.last(), "User-Agent");
  }
  QString file(int part) const {
    QFile f(env.programFolder() + QString("/Teil_%1__%2.htm").arg(part).arg(kItem));
    if (!f.open(QIODevice::ReadOnly)) return "<none>";
    return cp1252::decode(f.readAll());
  }

  TestEnv env;
  SimServer server;
  Form1 form;
};

const QString kPost = "POST /ws/eBayISAPI.dll";
const QString kReport = "GET /files/update+";
const QString kStarted = "Bieten Teil 1/2 - gestartet";
const QString kStep1Done = "Bieten Teil 1/2 - beendet";
const QString kStep2Started = "Bieten Teil 2/2 - gestartet";
const QString kStep2Done = "Bieten Teil 2/2 - beendet";
}  // namespace

TEST(DoBid, highBidderSendsBothStepsAsSpecifiedAndReportsTheCode) {
  BidRun run(site());
  ASSERT_TRUE(run.server.ok());
  run.bid();
  EXPECT_EQ(run.env.state.bidResultText, "Sie haben\r\ndas höchste\r\nGebot abgegeben.");
  EXPECT_EQ(run.env.logMessages(),
            (QStringList{kStarted, kStep1Done, kStep2Started,
                         "Bieten Teil 2/2 - Höchstgebot abgegeben", kStep2Done}));
  ASSERT_EQ(run.requestLines(), (QStringList{kPost, kPost, kReport}));

  const QString base = run.server.baseUrl();
  const QJsonObject step1 = run.request(0);
  EXPECT_EQ(step1["body"].toString(),
            "MfcISAPICommand=MakeBid&item=1234567890&quant=1&maxbid=12.5");
  const QJsonObject step2 = run.request(1);
  const QRegularExpression body2(
      "^MfcISAPICommand=AcceptBid&item=1234567890&maxbid=12\\.5&quant=1&key=(\\d+)"
      "&user=bieter&pass=Geheim\\+%E4$");
  EXPECT_TRUE(body2.match(step2["body"].toString()).hasMatch())
      << step2["body"].toString().toStdString();
  EXPECT_EQ(BidRun::header(step1, "Referer"), base + "/ws/eBayISAPI.dll?ViewItem&item=1234567890");
  EXPECT_EQ(BidRun::header(step2, "Referer"), base + "/ws/eBayISAPI.dll");
  for (const QJsonObject& r : {step1, step2}) {
    EXPECT_EQ(BidRun::header(r, "Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(BidRun::header(r, "User-Agent"),
              "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
    EXPECT_EQ(BidRun::header(r, "Accept-Language"), "de");
    EXPECT_EQ(BidRun::header(r, "Proxy-Connection"), "Keep-Alive");
    EXPECT_EQ(BidRun::header(r, "Pragma"), "no-cache");
  }
  EXPECT_EQ(run.reportAgent(), "Auktionsuhr++ - 1.3.6 - Linux - hb");
  EXPECT_EQ(run.item().highBidder, "bieter");
  EXPECT_FALSE(run.form.Lbl_update->isVisibleTo(&run.form));
  EXPECT_EQ(run.file(1), "<none>");

  // Bidding again raises the own maximum: the site answers with the item page.
  run.env.state.maxBid = 20;
  run.bid();
  EXPECT_EQ(run.env.state.bidResultText, "Ihr Gebot\r\nwurde\r\nberücksichtigt.");
  EXPECT_EQ(run.env.logMessages().mid(5),
            (QStringList{kStarted, kStep1Done, kStep2Started, "Bieten Teil 2/2 - Gebot angekommen",
                         kStep2Done}));
  EXPECT_EQ(run.request(3)["body"].toString(),
            "MfcISAPICommand=MakeBid&item=1234567890&quant=1&maxbid=20");
  EXPECT_EQ(run.reportAgent(), "Auktionsuhr++ - 1.3.6 - Linux - hb");
  EXPECT_EQ(run.item().highMax, 20.0);
}

TEST(DoBid, theAmountIsSentWithAPointUnderGermanAndEnglishFormats) {
  for (const RegionalFormat& region : {RegionalFormat::german(), RegionalFormat::english()}) {
    BidRun run(site());
    run.env.state.region = region;
    run.env.state.maxBid = 7.5f;
    run.bid();
    EXPECT_EQ(run.request(0)["body"].toString(),
              "MfcISAPICommand=MakeBid&item=1234567890&quant=1&maxbid=7.5");
    EXPECT_TRUE(run.request(1)["body"].toString().contains("&maxbid=7.5&"));
    EXPECT_EQ(run.reportAgent(), "Auktionsuhr++ - 1.3.6 - Linux - hb");
  }
}

TEST(DoBid, outbidByAnEarlierProxyBidRaisesThePrice) {
  sim::Item item = auction();
  item.highBidder = "anderer";
  item.highMax = 20;
  item.bidCount = 1;
  BidRun run(site({item}));
  run.bid();
  EXPECT_EQ(run.env.state.bidResultText, "Sie haben\r\nnicht das höchste\r\nGebot abgegeben.");
  EXPECT_EQ(run.env.logMessages(), (QStringList{kStarted, kStep1Done, kStep2Started,
                                                "Bieten Teil 2/2 - Gebot zu gering", kStep2Done}));
  EXPECT_EQ(run.reportAgent(), "Auktionsuhr++ - 1.3.6 - Linux - ob");
  EXPECT_EQ(run.item().price, 13.0);
  EXPECT_EQ(run.item().highBidder, "anderer");
}

TEST(DoBid, refusalsOfTheFirstStepEndTheBid) {
  {
    BidRun run(site({auction(20.0)}));
    run.bid();
    EXPECT_EQ(run.env.state.bidResultText, "Das Gebot\r\nwar leider\r\nzu gering.");
    EXPECT_EQ(run.env.logMessages(),
              (QStringList{kStarted, "Bieten Teil 1/2 - Gebot zu gering", kStep1Done}));
    EXPECT_EQ(run.requestLines(), (QStringList{kPost, kReport}));
    EXPECT_EQ(run.reportAgent(), "Auktionsuhr++ - 1.3.6 - Linux - lB");
  }
  {
    BidRun run(site({auction(5.0, -1000)}));
    run.bid();
    EXPECT_EQ(run.env.state.bidResultText, "Die Auktion\r\nwar leider\r\nschon beendet.");
    EXPECT_EQ(run.env.logMessages(),
              (QStringList{kStarted, "Bieten Teil 1/2 - Auktion schon beendet", kStep1Done}));
    EXPECT_EQ(run.requestLines(), (QStringList{kPost, kReport}));
    EXPECT_EQ(run.reportAgent(), "Auktionsuhr++ - 1.3.6 - Linux - Ae");
  }
}

TEST(DoBid, anAuctionEndingBetweenTheStepsGivesAE) {
  BidRun run(site());
  run.afterReply(1, [&] {
    std::lock_guard<std::mutex> lock(run.server.sim().mutex());
    run.item().endMs = sim::nowMs() - 1;
  });
  run.bid();
  EXPECT_EQ(run.env.state.bidResultText, "Die Auktion\r\nwar leider\r\nschon beendet.");
  EXPECT_EQ(run.env.logMessages().mid(3),
            (QStringList{"Bieten Teil 2/2 - Auktion schon beendet", kStep2Done}));
  EXPECT_EQ(run.reportAgent(), "Auktionsuhr++ - 1.3.6 - Linux - AE");
}

TEST(DoBid, aWrongUserNameOrPasswordGivesPw) {
  {
    BidRun run(site());
    run.env.state.user = "niemand";
    run.bid();
    EXPECT_EQ(run.env.state.bidResultText, "Der Benutzername\r\nist\r\nungültig.");
    EXPECT_EQ(run.env.logMessages().mid(3),
              (QStringList{"Bieten Teil 2/2 - Benutzername ungültig", kStep2Done}));
    EXPECT_EQ(run.reportAgent(), "Auktionsuhr++ - 1.3.6 - Linux - pw");
  }
  {
    BidRun run(site());
    run.env.state.pass = "Geheim a";
    run.bid();
    EXPECT_EQ(run.env.state.bidResultText, "Das Passwort\r\nist\r\nfalsch.");
    EXPECT_EQ(run.env.logMessages().mid(3),
              (QStringList{"Bieten Teil 2/2 - Passwort falsch", kStep2Done}));
    EXPECT_EQ(run.reportAgent(), "Auktionsuhr++ - 1.3.6 - Linux - pw");
  }
}

TEST(DoBid, noOrTooShortRepliesGiveNd) {
  const QString noData = "Keine Daten vom\r\neBay-Server erhalten.\r\nInternetverbindung prüfen.";
  {
    BidRun run(site());
    run.env.state.endpoints.offerHost = "http://127.0.0.1:1";  // nobody listens there
    run.env.state.ResponseText = "an earlier page of more than ten characters";
    run.bid();
    EXPECT_EQ(run.env.state.bidResultText, noData);
    EXPECT_EQ(run.env.logMessages(),
              (QStringList{kStarted,
                           "Bieten Teil 1/2 - Keine Daten vom eBayserver. Internetverbindung "
                           "prüfen.",
                           kStep1Done}));
    EXPECT_EQ(run.requestLines(), QStringList{kReport});
    EXPECT_EQ(run.reportAgent(), "Auktionsuhr++ - 1.3.6 - Linux - nd");
  }
  {
    sim::Config config = site();
    config.shortReplyStep = 2;
    BidRun run(config);
    run.bid();
    EXPECT_EQ(run.env.state.bidResultText, noData);
    EXPECT_EQ(run.env.logMessages().mid(3),
              (QStringList{"Bieten Teil 2/2 - Keine Daten vom eBayserver. Internetverbindung "
                           "prüfen.",
                           kStep2Done}));
    EXPECT_EQ(run.requestLines(), (QStringList{kPost, kPost, kReport}));
    EXPECT_EQ(run.reportAgent(), "Auktionsuhr++ - 1.3.6 - Linux - nd");
  }
}

TEST(DoBid, aMissingFormRestartsOnceThenGivesErWithTheFirstPageOnly) {
  sim::Config config = site();
  config.noBidForm = true;
  BidRun run(config);
  run.bid();
  EXPECT_EQ(run.env.state.bidResultText, "Problem\r\nbei der\r\nGebotsabgabe.");
  EXPECT_EQ(run.env.logMessages(),
            (QStringList{kStarted, kStep1Done, kStep2Started, kStarted, kStep1Done, kStep2Started,
                         "Bieten Teil 2/2 - keine Formulardaten in Teil 1", kStep2Done}));
  EXPECT_EQ(run.requestLines(), (QStringList{kPost, kPost, kReport}));
  EXPECT_EQ(run.request(1)["body"].toString(), run.request(0)["body"].toString());
  EXPECT_EQ(run.reportAgent(), "Auktionsuhr++ - 1.3.6 - Linux - er");
  const QString page1 = run.file(1);
  EXPECT_TRUE(page1.contains("Review and confirm your bid"));
  EXPECT_TRUE(page1.endsWith("</html>\r\n\r\n"));  // the page and one line end
  EXPECT_EQ(run.file(2), "<none>");
  EXPECT_TRUE(run.env.dialogs.errors.isEmpty());
}

TEST(DoBid, aFormMissingOnlyOnceIsBidAgainWithoutAnErrorLine) {
  sim::Config config = site();
  config.noBidForm = true;
  BidRun run(config);
  run.afterReply(1, [&] {
    std::lock_guard<std::mutex> lock(run.server.sim().mutex());
    run.server.sim().config().noBidForm = false;
  });
  run.bid();
  EXPECT_EQ(run.env.logMessages(),
            (QStringList{kStarted, kStep1Done, kStep2Started, kStarted, kStep1Done, kStep2Started,
                         "Bieten Teil 2/2 - Höchstgebot abgegeben", kStep2Done}));
  EXPECT_EQ(run.requestLines(), (QStringList{kPost, kPost, kPost, kReport}));
  EXPECT_EQ(run.reportAgent(), "Auktionsuhr++ - 1.3.6 - Linux - hb");
}

TEST(DoBid, anUnknownReplyGivesErWithBothPages) {
  sim::Config config = site();
  config.unknownReply = true;
  BidRun run(config);
  run.bid();
  EXPECT_EQ(run.env.state.bidResultText, "Problem\r\nbei der\r\nGebotsabgabe.");
  EXPECT_EQ(run.env.logMessages().mid(3),
            (QStringList{"Bieten Teil 2/2 - Fehler bei Gebotsabgabe", kStep2Done}));
  EXPECT_EQ(run.reportAgent(), "Auktionsuhr++ - 1.3.6 - Linux - er");
  EXPECT_TRUE(run.file(1).contains("name=\"PlaceBid\""));
  EXPECT_TRUE(run.file(2).contains("the service is temporarily unavailable"));
  EXPECT_TRUE(run.file(2).endsWith("</html>\r\n\r\n"));
}

TEST(DoBid, aSignInPageRestartsOnceOnly) {
  sim::Config config = site();
  config.signinOnce = true;
  {
    BidRun run(config);
    run.bid();
    EXPECT_EQ(
        run.env.logMessages(),
        (QStringList{kStarted, kStep1Done, kStep2Started,
                     "Bieten Teil 2/2 - Neues Cookie bekommen -> Restart", kStarted, kStep1Done,
                     kStep2Started, "Bieten Teil 2/2 - Höchstgebot abgegeben", kStep2Done}));
    EXPECT_EQ(run.requestLines(), (QStringList{kPost, kPost, kPost, kPost, kReport}));
    EXPECT_EQ(run.reportAgent(), "Auktionsuhr++ - 1.3.6 - Linux - hb");
  }
  {
    BidRun run(config);  // the site asks to sign in every time
    run.afterReply(2, [&] { run.server.sim().signinServed = false; });
    run.bid();
    EXPECT_EQ(run.requestLines(), (QStringList{kPost, kPost, kPost, kPost, kReport}));
    EXPECT_EQ(run.env.logMessages().mid(7),
              (QStringList{"Bieten Teil 2/2 - Fehler bei Gebotsabgabe", kStep2Done}));
    EXPECT_EQ(run.reportAgent(), "Auktionsuhr++ - 1.3.6 - Linux - er");
    EXPECT_TRUE(run.file(2).contains("Welcome to eBay!"));
  }
}

TEST(DoBid, failuresInsideTheBidShowTheErrorBoxAndSendNoReport) {
  {
    BidRun run(site());  // a crafted item number cannot add a header line
    run.env.state.ItemID = "123\r\nX-Evil: 1";
    run.bid();
    EXPECT_EQ(run.env.state.lastFailingProcedure, "do_bid");
    EXPECT_EQ(run.env.dialogs.errors.size(), 1);
    EXPECT_TRUE(run.requestLines().isEmpty());
    const QString log = run.env.logLines().join("\n");
    EXPECT_EQ(log.count(kStarted), 1);
    EXPECT_FALSE(log.contains("beendet"));
  }
  {
    sim::Config config = site();
    config.unknownReply = true;
    BidRun run(config);  // the diagnostic file's name is taken by a folder
    ASSERT_TRUE(QDir(run.env.programFolder()).mkdir(QString("Teil_1__%1.htm").arg(kItem)));
    run.bid();
    EXPECT_EQ(run.env.state.lastFailingProcedure, "do_bid");
    ASSERT_EQ(run.env.dialogs.errors.size(), 1);
    EXPECT_TRUE(run.env.dialogs.errors[0].startsWith("Fehlernummer:  75\r\n"));
    EXPECT_EQ(run.env.state.bidResultText, "Problem\r\nbei der\r\nGebotsabgabe.");
    EXPECT_EQ(run.requestLines(), (QStringList{kPost, kPost}));
  }
}

TEST(DoBid, craftedItemNumbersStayInTheirPlaces) {
  const std::string crafted = "../12&maxbid=1";
  sim::Item item = auction();
  item.id = crafted;
  sim::Config config = site({item});
  config.unknownReply = true;
  BidRun run(config);
  run.env.state.ItemID = QString::fromStdString(crafted);
  run.bid();
  // The site saw one amount, the one of the bid, and answered with its form.
  EXPECT_EQ(run.request(0)["body"].toString(),
            "MfcISAPICommand=MakeBid&item=../12%26maxbid%3D1&quant=1&maxbid=12.5");
  EXPECT_EQ(run.requestLines(), (QStringList{kPost, kPost, kReport}));
  QStringList files = QDir(run.env.programFolder()).entryList({"Teil_*"}, QDir::Files);
  EXPECT_EQ(files, (QStringList{"Teil_1_____12_maxbid_1.htm", "Teil_2_____12_maxbid_1.htm"}));
  EXPECT_TRUE(QDir(run.env.dir.path()).entryList({"Teil_*"}).isEmpty());
}

TEST(DoBid, theReportsAnswerMayAnnounceANewerVersion) {
  struct Case {
    std::string body;
    QString available;  // AvailableVersion and the setting "Update" afterwards
    bool labelShown;
  };
  const QList<Case> cases = {
      {"1.03.0007", "1.03.0007", true},
      {"1.10.0001", "1.10.0001", true},
      {"1.03.0006", "", false},
      {"1.03.0007\r\n", "1.02.0000", false},  // eleven characters: nothing compared
      {"1.0300", "1.02.0000", false},         // fewer than three pieces: the same
      {"1.3", "1.02.0000", false},
  };
  for (const Case& c : cases) {
    sim::Config config = site();
    config.vendorVersion = c.body;
    BidRun run(config);
    run.env.state.AvailableVersion = "1.02.0000";
    run.form.Lbl_update->hide();
    run.bid();
    EXPECT_EQ(run.env.state.AvailableVersion, c.available) << c.body;
    EXPECT_EQ(run.env.setting("Update"), c.available) << c.body;
    EXPECT_EQ(run.form.Lbl_update->isVisibleTo(&run.form), c.labelShown) << c.body;
    EXPECT_TRUE(run.env.dialogs.errors.isEmpty()) << c.body;
  }
}

TEST(FillInAccount, fillsUserElseUseridAndOnlyAnEmptyPassword) {
  struct Case {
    QString inputs;  // the form's fields
    QString user;    // the program's user name
    QString posted;
  };
  const auto field = [](const char* type, const char* name, const char* value) {
    return QString("<input type=\"%1\" name=\"%2\" value=\"%3\">").arg(type, name, value);
  };
  const QList<Case> cases = {
      {field("text", "user", "") + field("password", "pass", ""), "bieter",
       "user=bieter&pass=Geheim+%E4&"},
      {field("text", "user", "vorhanden") + field("text", "userid", "alt") +
           field("password", "pass", "schon"),
       "bieter", "user=vorhanden&userid=alt&pass=schon&"},
      {field("text", "userid", "alt") + field("password", "pass", ""), "bieter",
       "userid=bieter&pass=Geheim+%E4&"},
      // Without a user name of its own the form's "userid" is overwritten with the empty name.
      {field("text", "user", "") + field("text", "userid", "alt"), "", "user=&userid=&"},
  };
  for (const Case& c : cases) {
    TestEnv env;
    env.state.user = c.user;
    env.state.pass = QString::fromUtf8("Geheim ä");
    env.state.ResponseText = "<form name=\"PlaceBid\" action=\"/b\">" + c.inputs + "</form>";
    readFormData(*env.ctx, "PlaceBid");
    fillInAccount(*env.ctx);
    EXPECT_EQ(GetPostData(*env.ctx), c.posted) << c.inputs.toStdString();
  }
}
