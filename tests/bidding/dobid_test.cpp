// The bid transaction end to end against the auction-site simulator on loopback.
#include <gtest/gtest.h>

#include "support/texts.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QRegularExpression>

#include "app/cp1252.h"
#include "bidding/dobid.h"
#include "bidding/formreader.h"
#include "bidding/inet.h"
#include "support/rawserver.h"
#include "support/testenv.h"
#include "support/testwindow.h"

namespace {
const char* const kItem = "1234567890";

sim::Config site() {
  sim::Config config = auctionSite();
  config.accounts["bieter"] = "Geheim ä";
  return config;
}

// The window's environment bidding 12,50 against its own simulator, the password with an
// umlaut.
struct BidRun : TestWindow {
  explicit BidRun(sim::Config config) : TestWindow(std::move(config)) {
    env.state.pass = "Geheim ä";
    env.state.maxBid = 12.5f;
  }

  void bid() { do_bid(*env.ctx, env.window); }
  // Runs `action` once, after the n-th completed reply (1-based) has been collected.
  void afterReply(int n, std::function<void()> action) {
    auto count = std::make_shared<int>(0);
    QObject::connect(&env.inet1, &Inet::StateChanged, &env.inet1, [=](int state) {
      if (state == Inet::kResponseCompleted && ++*count == n) action();
    });
  }
  sim::Item& item() { return server->sim().config().items.front(); }

  QStringList requestLines() const {
    QStringList out;
    for (const QJsonObject& r : server->requests())
      out.append(r["method"].toString() + " " + r["path"].toString());
    return out;
  }
  QJsonObject request(int i) const { return server->requests().value(i); }
  static QString header(const QJsonObject& r, const char* name) {
    return r["headers"].toObject()[name].toString();
  }
  QString file(int part) const { return cp1252::decode(page(part)); }
};

const QString kPost = "POST /ws/eBayISAPI.dll";
const QString kReport = "GET /files/update+";
using namespace logged;
}  // namespace

// Every outcome: the code in the report, the result text, the log, the requests the site saw
// and the diagnostic pages. The end-to-end runs play the winning bid against the real program.
TEST(DoBid, everyOutcomeEndToEnd) {
  const QString S = kStep1Started, D1 = kStep1Done, S2 = kStep2Started, D2 = kStep2Done;
  const QString P = kPost, R = kReport,
                cookie = "Bieten Teil 2/2 - Neues Cookie bekommen -> Restart";
  using namespace shown;
  const QString hb = kHighBid, er = kError2;
  struct Scenario {
    const char* name;
    std::function<void(sim::Config&)> site;
    std::function<void(BidRun&)> prepare;
    QString code, text;  // text lines joined by "|"
    QStringList log, requests;
    QString files;  // diagnostic pages written: "", "1" or "12"
  };
  const auto none = [](auto&) {};
  const auto endAfterStep1 = [](BidRun& r) {
    r.afterReply(1, [&r] {
      std::lock_guard<std::mutex> lock(r.site().sim().mutex());
      r.item().endMs = sim::nowMs() - 1;
    });
  };
  const auto formOnlyOnce = [](BidRun& r) {
    r.afterReply(1, [&r] {
      std::lock_guard<std::mutex> lock(r.site().sim().mutex());
      r.site().sim().config().noBidForm = false;
    });
  };
  const auto emptyForm = [](BidRun& r) {
    r.afterReply(1, [&r] {
      r.env.state.ResponseText = "<html><form name=\"PlaceBid\" action=\"" + r.site().baseUrl() +
                                 "/ws/eBayISAPI.dll\"></form></html>\r\n";
    });
  };
  // A second site: the host a crafted bid form may name. Nothing may ever reach it.
  SimServer foreign(site());
  const QString foreignForm = "Bieten Teil 2/2 - Formular zielt auf fremden Server " +
                              foreign.baseUrl() + ", Konto nicht gesendet";
  // A site that echoes the form it was sent, password and all; earlier pages were readable by all.
  const auto echoesThePassword = [](BidRun& r) {
    for (int part : {1, 2}) {
      const QString path = r.env.programFolder() + QString("/Teil_%1__%2.htm").arg(part).arg(kItem);
      QFile old(path);
      old.open(QIODevice::WriteOnly);
      old.write("alt");
      old.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                         QFile::ReadOther);
    }
    r.afterReply(2, [&r] {
      r.env.state.ResponseText =
          "<html><p>Angaben: bieter / Geheim ä</p><form><input type=\"password\" name=\"pass\" "
          "value=\"Geheim &auml;\"><input type=hidden name=echo "
          "value=\"user=bieter&pass=Geheim+%E4\">"
          "</form></html>\r\n";
    });
  };
  // The confirmation redirected (307, 308: with its body) to another port, and to another host
  // at the site's own port: not a byte may reach either. Back to the site itself (no `to`), it
  // would send the form once more.
  RawServer otherPort, otherHost;
  otherPort.listen();
  const auto redirect = [](const char* status, RawServer* to, bool otherHost) {
    return [status, to, otherHost](BidRun& r) {
      if (otherHost) to->listen("127.0.0.2", r.site().port());
      std::lock_guard<std::mutex> lock(r.site().sim().mutex());
      sim::Config& c = r.site().sim().config();
      c.faultStep = 2;
      c.fault = status;
      c.faultLocation =
          ((to ? to->baseUrl() : r.site().baseUrl()) + "/ws/eBayISAPI.dll").toStdString();
    };
  };
  const auto redirectLog = [](const QString& origin) {
    return "Bieten Teil 2/2 - Weiterleitung auf fremden Server " + origin +
           " nicht gefolgt, Konto nicht gesendet";
  };
  // clang-format off
  const QList<Scenario> scenarios = {
      {"high bidder, a newer version on offer",
       [](sim::Config& c) { c.vendorVersion = "1.03.0007"; }, none, "hb", kHighBidder,
       {S, D1, S2, hb, D2}, {P, P, R}, ""},
      {"too low", [](sim::Config& c) { c.items[0].price = 20; }, none, "lB",
       "Das Gebot|war leider|zu gering.", {S, "Bieten Teil 1/2 - Gebot zu gering", D1}, {P, R}, ""},
      {"ended", [](sim::Config& c) { c.items[0].endMs = sim::nowMs() - 1000; }, none, "Ae", kEnded,
       {S, "Bieten Teil 1/2 - Auktion schon beendet", D1}, {P, R}, ""},
      {"ended between the steps", none, endAfterStep1, "AE", kEnded,
       {S, D1, S2, "Bieten Teil 2/2 - Auktion schon beendet", D2}, {P, P, R}, ""},
      {"outbid", [](sim::Config& c) { c.items[0].highBidder = "rival"; c.items[0].highMax = 50; },
       none, "ob", kOutbid,
       {S, D1, S2, "Bieten Teil 2/2 - Gebot zu gering", D2}, {P, P, R}, ""},
      {"wrong password", none, [](BidRun& r) { r.env.state.pass = "Geheim ö"; }, "pw",
       kWrongPassword, {S, D1, S2, "Bieten Teil 2/2 - Passwort falsch", D2},
       {P, P, R}, ""},
      {"sign-in page once", [](sim::Config& c) { c.signinOnce = true; }, none, "hb", kHighBidder,
       {S, D1, S2, cookie, S, D1, S2, hb, D2}, {P, P, P, P, R}, ""},
      {"unknown user", none, [](BidRun& r) { r.env.state.user = "niemand"; }, "pw",
       "Der Benutzername|ist|ungültig.", {S, D1, S2, "Bieten Teil 2/2 - Benutzername ungültig", D2},
       {P, P, R}, ""},
      {"nobody listens", none, [](BidRun& r) {
         r.env.state.endpoints.offerHost = "http://127.0.0.1:1";
         r.env.state.ResponseText = "an earlier page of more than ten characters"; },
       "nd", kNoData, {S, kRefused1, kNoData1, D1},
       {R}, ""},
      {"short step-2 reply", [](sim::Config& c) { c.shortReplyStep = 2; }, none, "nd", kNoData,
       {S, D1, S2, kNoData2, D2},
       {P, P, R}, ""},
      {"form missing twice", [](sim::Config& c) { c.noBidForm = true; }, none, "er", kProblem,
       {S, D1, S2, S, D1, S2, kNoForm, D2}, {P, P, R}, "1"},
      {"form missing once", [](sim::Config& c) { c.noBidForm = true; }, formOnlyOnce, "hb", kHighBidder,
       {S, D1, S2, S, D1, S2, hb, D2}, {P, P, P, R}, ""},
      {"unknown reply", [](sim::Config& c) { c.unknownReply = true; }, none, "er", kProblem,
       {S, D1, S2, er, D2}, {P, P, R}, "12"},
      {"unknown reply echoing the password", [](sim::Config& c) { c.unknownReply = true; },
       echoesThePassword, "er", kProblem, {S, D1, S2, er, D2}, {P, P, R}, "12"},
      {"form names another host", [&](sim::Config& c) {
         c.bidFormAction = (foreign.baseUrl() + "/ws/eBayISAPI.dll").toStdString(); }, none, "er",
       kProblem, {S, D1, S2, foreignForm, D2}, {P, R}, "1"},
      {"a redirect to another port", none, redirect("307", &otherPort, false), "er", kProblem,
       {S, D1, S2, redirectLog(otherPort.baseUrl()), D2},
       {P, P, R}, ""},
      {"a redirect to another host", none, redirect("308", &otherHost, true), "er", kProblem,
       {S, D1, S2, redirectLog("http://127.0.0.2:{site port}"), D2}, {P, P, R}, ""},
      {"a 307 back to the site", none, redirect("307", nullptr, false), "er", kProblem,
       {S, D1, S2, "Bieten Teil 2/2 - Weiterleitung nach http://127.0.0.1:{site port} würde das "
       "Formular erneut senden, nicht gefolgt", D2}, {P, P, R}, ""},
      {"form without fields", none, emptyForm, "er", kProblem, {S, D1, S2, er, D2}, {P, P, R}, "12"},
      {"relative form address", none, [](BidRun& r) { r.afterReply(1, [&r] {
         r.env.state.ResponseText.replace("action=\"" + r.site().baseUrl(), "action=\""); }); },
       "hb", kHighBidder, {S, D1, S2, hb, D2}, {P, P, R}, ""},
      // The first confirmation went through, so bidding again raises the own maximum.
      {"sign-in page in lower case", none, [](BidRun& r) {
         r.afterReply(2, [&r] { r.env.state.ResponseText = "<p>welcome to ebay! Sign in</p>"; }); },
       "hb", kArrived,
       {S, D1, S2, cookie, S, D1, S2, "Bieten Teil 2/2 - Gebot angekommen", D2}, {P, P, P, P, R}, ""},
      {"sign-in page every time", [](sim::Config& c) { c.signinOnce = true; },
       [](BidRun& r) { r.afterReply(2, [&r] { r.site().sim().signinServed = false; }); }, "er",
       kProblem, {S, D1, S2, cookie, S, D1, S2, er, D2}, {P, P, P, P, R}, "12"},
  };
  // clang-format on
  for (const Scenario& sc : scenarios) {
    SCOPED_TRACE(sc.name);
    sim::Config config = site();
    sc.site(config);
    BidRun run(config);
    sc.prepare(run);
    run.bid();
    EXPECT_EQ(run.env.state.bidResultText, QString(sc.text).replace("|", "\r\n"));
    EXPECT_EQ(
        run.env.logMessages(),
        sc.log.join("\n").replace("{site port}", QString::number(run.site().port())).split("\n"));
    EXPECT_EQ(run.requestLines(), sc.requests);
    EXPECT_EQ(run.reportAgent(), "Auktionsuhr++ - 1.3.6 - Linux - " + sc.code);
    EXPECT_EQ(run.env.window.outcomes, QStringList{sc.code});  // told the window once
    // The report's answer: a newer version is kept and shown (which answer announces one:
    // announcedVersion's table).
    const bool newer = config.vendorVersion == "1.03.0007";
    EXPECT_EQ(run.env.state.AvailableVersion, newer ? "1.03.0007" : "");
    EXPECT_EQ(run.env.setting("Update"), run.env.state.AvailableVersion);
    EXPECT_EQ(run.env.window.updateMarkShown > 0, newer);
    EXPECT_TRUE(run.env.dialogs.errors.isEmpty());
    QString files;
    for (int part : {1, 2})
      if (run.file(part) != "<none>") files += QString::number(part);
    EXPECT_EQ(files, sc.files);
    for (const QChar part : files) {  // the page and one line end, for its owner's eyes only
      const QString page = run.file(part.digitValue());
      EXPECT_TRUE(page.endsWith("</html>\r\n\r\n")) << part.toLatin1();
      EXPECT_FALSE(page.contains("Geheim")) << part.toLatin1();
      EXPECT_EQ(QFile::permissions(run.env.programFolder() +
                                   QString("/Teil_%1__%2.htm").arg(part).arg(kItem)) &
                    0x7077,
                QFile::ReadOwner | QFile::WriteOwner);
    }
    EXPECT_TRUE(foreign.requests().isEmpty());
    EXPECT_TRUE(otherPort.heard.isEmpty() && otherHost.heard.isEmpty());
    if (QString(sc.name) == "form without fields") {
      EXPECT_EQ(run.request(1)["body"].toString(), "");
    }
    if (QString(sc.name) == "unknown reply echoing the password") {
      EXPECT_TRUE(run.file(2).contains("Angaben: bieter / ***</p>"));
      EXPECT_TRUE(run.file(2).contains("value=\"***\""));
      EXPECT_TRUE(run.file(2).contains("user=bieter&pass=***\""));
    }
  }
}

// The amount goes out with a point under either regional format (a whole amount, without
// decimals, is checked by the end-to-end runs).
TEST(DoBid, bothStepsReachTheSiteWithTheirBodiesAndHeaders) {
  const std::tuple<RegionalFormat, float, QString> cases[] = {
      {RegionalFormat::german(), 12.5f, "12.5"},
      {RegionalFormat::english(), 7.5f, "7.5"},
  };
  for (const auto& [region, amount, sent] : cases) {
    SCOPED_TRACE(sent);
    BidRun run(site());
    run.env.state.region = region;
    run.env.state.maxBid = amount;
    run.bid();
    ASSERT_EQ(run.requestLines(), (QStringList{kPost, kPost, kReport}));
    const QJsonObject step1 = run.request(0), step2 = run.request(1);
    EXPECT_EQ(step1["body"].toString(),
              "MfcISAPICommand=MakeBid&item=1234567890&quant=1&maxbid=" + sent);
    const QRegularExpression body2(
        "^MfcISAPICommand=AcceptBid&item=1234567890&maxbid=" + QRegularExpression::escape(sent) +
        "&quant=1&key=(\\d+)&user=bieter&pass=Geheim\\+%E4$");
    EXPECT_TRUE(body2.match(step2["body"].toString()).hasMatch()) << step2["body"].toString();
    const QString base = run.site().baseUrl();
    EXPECT_EQ(BidRun::header(step1, "Referer"),
              base + "/ws/eBayISAPI.dll?ViewItem&item=1234567890");
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
  }
}

// A crafted item number cannot add a header line: the bid ends in the error box, unsent. A
// diagnostic page that cannot be written (its name taken by a folder) costs the bid nothing: a
// box names the file, and the outcome is told to the window and reported.
TEST(DoBid, failuresInsideTheBidShowABoxAndOnlyAnUnsentBidGoesUnreported) {
  {
    BidRun run(site());
    run.env.state.ItemID = "123\r\nX-Evil: 1";
    run.bid();
    EXPECT_EQ(run.env.state.lastFailingProcedure, "do_bid");
    EXPECT_EQ(run.env.dialogs.errors.size(), 1);
    EXPECT_TRUE(run.requestLines().isEmpty());
    const QString log = run.env.logLines().join("\n");
    EXPECT_EQ(log.count(kStep1Started), 1);
    EXPECT_FALSE(log.contains("beendet"));
  }
  {
    sim::Config config = site();
    config.unknownReply = true;
    BidRun run(config);
    const QString page = run.env.programFolder() + QString("/Teil_1__%1.htm").arg(kItem);
    ASSERT_TRUE(QDir().mkdir(page));
    run.bid();
    EXPECT_EQ(run.env.state.lastFailingProcedure, "");
    EXPECT_EQ(run.env.dialogs.errors,
              QStringList{"Die Datei '" + page +
                          "' konnte nicht geschrieben werden: Fehler beim Zugriff auf "
                          "Pfad/Datei.\r\nDie Seite wird nicht für die Fehlersuche aufbewahrt."});
    EXPECT_EQ(run.env.state.bidResultText, shown::kProblem);
    EXPECT_EQ(run.env.window.outcomes, QStringList{"er"});
    EXPECT_EQ(run.requestLines(), (QStringList{kPost, kPost, kReport}));
  }
}

// The account goes into "user", else into "userid"; a password only into an empty field.
TEST(FillInAccount, fillsUserElseUseridAndOnlyAnEmptyPassword) {
  const auto field = [](const char* type, const char* name, const char* value) {
    return QString("<input type=\"%1\" name=\"%2\" value=\"%3\">").arg(type, name, value);
  };
  const std::tuple<QString, QString, QString> cases[] = {
      // fields, own user name, posted
      {field("text", "user", "") + field("password", "pass", ""), "bieter",
       "user=bieter&pass=Geheim+%E4&"},
      {field("text", "user", "vorhanden") + field("text", "userid", "alt") +
           field("password", "pass", "schon"),
       "bieter", "user=vorhanden&userid=alt&pass=schon&"},
      {field("text", "userid", "alt") + field("password", "pass", ""), "bieter",
       "userid=bieter&pass=Geheim+%E4&"},
      // Without a user name of its own the form's "userid" is overwritten with the empty name.
      {field("text", "user", "") + field("text", "userid", "alt"), "", "user=&userid=&"}};
  for (const auto& [inputs, user, posted] : cases) {
    TestEnv env;
    env.state.user = user;
    env.state.pass = "Geheim ä";
    env.state.ResponseText = "<form name=\"PlaceBid\" action=\"/b\">" + inputs + "</form>";
    readFormData(*env.ctx, "PlaceBid");
    fillInAccount(*env.ctx);
    EXPECT_EQ(GetPostData(*env.ctx), posted) << inputs;
  }
}
