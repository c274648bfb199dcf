// The eBay route's rules as tables: amounts, outcomes, token timing, route choice, consent.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include "ebay/amount.h"
#include "ebay/answers.h"
#include "ebay/consent.h"
#include "ebay/itemwatch.h"
#include "ebay/outcome.h"
#include "ebay/route.h"
#include "ebay/tokentiming.h"
#include "support/texts.h"

namespace {
std::string s(const QString& t) {
  return t.toStdString();
}
}  // namespace

TEST(EbayAmount, theTypedGermanAmountBecomesEbaysDecimalExactly) {
  const struct {
    const char* typed;
    const char* decimal;  // nullptr: refused
  } rows[] = {{"1.234,50", "1234.50"},
              {"12,5", "12.50"},
              {" 12 ", "12.00"},
              {"12,-", "12.00"},
              {"0,01", "0.01"},
              {"007,10", "7.10"},
              {"1.000.000", "1000000.00"},
              {"16777217,01", "16777217.01"},  // beyond a float's digits
              {"12.50", nullptr},
              {"12,505", nullptr},
              {"1.23,00", nullptr},
              {"-5", nullptr},
              {"5 €", nullptr},
              {",50", nullptr},
              {"", nullptr},
              {"1234567890123", nullptr}};
  for (const auto& r : rows) {
    const auto got = ebay::decimalFromGerman(QString::fromUtf8(r.typed));
    if (r.decimal)
      EXPECT_EQ(got.value_or("refused"), QString::fromLatin1(r.decimal)) << r.typed;
    else
      EXPECT_FALSE(got) << r.typed << " -> " << s(got.value_or(""));
  }
  EXPECT_EQ(ebay::compareDecimal("12.5", "12.50"), 0);
  EXPECT_EQ(ebay::compareDecimal("9.99", "10"), -1);
  EXPECT_EQ(ebay::compareDecimal("100.01", "100.001"), 1);
  EXPECT_FALSE(ebay::compareDecimal("12,50", "1"));
  EXPECT_EQ(ebay::germanMoney({"EUR", "1234567.5"}), "1.234.567,50 EUR");
}

// Every error id the Offer document names for place_proxy_bid and the bidding query has a
// text of its own; the ids are read from eBay's document itself.
TEST(EbayOutcome, everyErrorOfTheOfferDocumentHasItsOwnText) {
  QFile doc(QStringLiteral(GF_EBAY_API_DIR "/buy-offer-v1_beta.yml"));
  if (!doc.open(QIODevice::ReadOnly))
    GTEST_SKIP() << "eBay's documents not found at " GF_EBAY_API_DIR;
  const QString text = QString::fromUtf8(doc.readAll());
  QSet<int> ids;
  for (const auto& m : QRegularExpression(QStringLiteral("'(1200\\d\\d)':")).globalMatch(text))
    ids.insert(m.captured(1).toInt());
  ASSERT_GE(ids.size(), 30);
  const BidOutcome general = ebay::outcome::ofError(999999);
  QSet<QString> texts;
  for (const int id : ids) {
    const BidOutcome o = ebay::outcome::ofError(id);
    EXPECT_NE(o.resultText, general.resultText) << id;
    EXPECT_EQ(o.resultText.count(QStringLiteral("\r\n")), 2) << id;
    EXPECT_TRUE(o.logLines.value(0).endsWith(QStringLiteral("(Fehler %1)").arg(id))) << id;
    texts.insert(o.logLines.value(0));
  }
  EXPECT_EQ(texts.size(), ids.size());  // no two errors told alike
}

TEST(EbayOutcome, whatTheUserIsTold) {
  using namespace ebay::outcome;
  ebay::Bidding high{"v1|1|0", "ACTIVE", true, ebay::Money{"EUR", "12.5"}, {}, 3, {}};
  ebay::Bidding outbid = high;
  outbid.highBidder = false;
  ebay::Bidding won = high;
  won.auctionStatus = "ENDED";
  ebay::Bidding lost = outbid;
  lost.auctionStatus = "ENDED";
  const struct {
    BidOutcome outcome;
    const char* code;
    const char* text;
  } rows[] = {
      {ofError(120012), "Ae", "Die Auktion\r\nwar leider\r\nschon beendet."},
      {ofError(120008), "lB", "Das Gebot\r\nwar leider\r\nzu gering."},
      {ofError(120009), "er", "Falsche\r\nWährung für\r\ndiesen Artikel."},
      {ofError(120003), "er", "Auf eigene\r\nArtikel kann man\r\nnicht bieten."},
      {ofError(120004), "er", "Sie sind für\r\ndiesen Artikel\r\nnicht zugelassen."},
      {placed(high), "hb", "Sie haben\r\ndas höchste\r\nGebot abgegeben."},
      {placed(outbid), "ob", "Sie wurden\r\nleider\r\nüberboten."},
      {placed(std::nullopt), "hb", "Ihr Gebot\r\nwurde\r\nberücksichtigt."},
      {ofAnswer(409, {{120012, "API_OFFER", "BUSINESS", ""}}), "Ae",
       "Die Auktion\r\nwar leider\r\nschon beendet."},
      {ofAnswer(401, {}), "pw", "Die Anmeldung\r\nbei eBay ist\r\nabgelaufen."},
      {ofAnswer(403, {}), "pw", "Der eBay-Zugang\r\nerlaubt\r\nkeine Gebote."},
      {ofAnswer(429, {}), "er", "eBay lehnt ab:\r\nzu viele\r\nAnfragen."},
      {ofAnswer(503, {}), "er", "eBay meldet\r\neine interne\r\nStörung."},
      {noAnswer(true, "Zeitüberschreitung"), "nd",
       "Ausgang des Gebots\r\nist unbekannt.\r\nArtikelseite prüfen."},
      {*afterEnd(won), "hb", "Auktion\r\ngewonnen!\r\nEndpreis 12,50 EUR"},
      {*afterEnd(lost), "ob", "Auktion\r\nnicht gewonnen.\r\nEndpreis 12,50 EUR"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(r.outcome.code, QLatin1String(r.code)) << r.text;
    EXPECT_EQ(r.outcome.resultText, QString::fromUtf8(r.text));
    EXPECT_EQ(r.outcome.logLines.size(), 1) << r.text;
  }
  EXPECT_FALSE(afterEnd(high));  // still running: ask again later
}

// Minutes on the program's clock; a bid triggers at minute 100, the auction ends 10 s later.
TEST(EbayTokenTiming, renewedWellBeforeTheTriggerNeverInTheMinuteBeforeIt) {
  using namespace ebay::tokentiming;
  const qint64 m = 60'000;
  const BidTimes bid{100 * m, 100 * m + 10'000};
  const struct {
    qint64 now, expires;
    bool withBid;
    qint64 due;
    bool allowedNow;
  } rows[] = {
      {0, 120 * m, false, 115 * m, true},     // no bid: five minutes before expiry
      {0, 120 * m, true, 115 * m, true},      // outlasts the bid and its query: as usual
      {0, 102 * m, true, 95 * m, true},       // would not last to the query after the end
      {0, 104 * m, true, 95 * m, true},       // would be due in the quiet minute: earlier
      {0, 101 * m, true, 95 * m, true},       // would expire after the trigger, before the end
      {97 * m, 101 * m, true, 97 * m, true},  // armed late: at once
      {99 * m + 30'000, 101 * m, true, 99 * m + 30'000, false},  // carries the bid: left alone
      {99 * m + 30'000, 99 * m + 40'000, true, 99 * m + 30'000, true},  // cannot carry it
      {102 * m, 103 * m, true, 102 * m, true},  // after the end: the query may renew
  };
  for (const auto& r : rows) {
    const auto b = r.withBid ? std::optional<BidTimes>(bid) : std::nullopt;
    EXPECT_EQ(renewalDueMs(r.now, r.expires, b), r.due) << r.now << " " << r.expires;
    EXPECT_EQ(renewalAllowed(r.now, r.expires, b), r.allowedNow) << r.now << " " << r.expires;
  }
  EXPECT_TRUE(retryAfterUnauthorized(100 * m, bid.endMs, 0));
  EXPECT_FALSE(retryAfterUnauthorized(100 * m, bid.endMs, 1));           // once
  EXPECT_FALSE(retryAfterUnauthorized(bid.endMs - 1000, bid.endMs, 0));  // no time left
  EXPECT_FALSE(usable(10'000, 12'000));
}

TEST(EbayItemWatch, anArmedItemIsReadAgainPolitelyAndNotInTheMinuteBeforeTheTrigger) {
  using namespace ebay::itemwatch;
  const qint64 day = 24 * 3600'000, end = 7 * day, trigger = end - 10'000;
  int lastDayCalls = 0;
  qint64 now = 0;
  while (const auto delay = refreshDelayMs(trigger - now, end - now)) {
    EXPECT_GE(*delay, kShortestRefreshMs);
    now += *delay;
    if (end - now < day) ++lastDayCalls;
  }
  EXPECT_LE(lastDayCalls, 120);  // of the keyset's 5,000 Browse calls a day
  EXPECT_GE(trigger - now, kQuietBeforeTriggerMs);
  EXPECT_LE(trigger - now, kQuietBeforeTriggerMs + kShortestRefreshMs);
}

TEST(EbayRoute, theApiWhenSignedInTheClassicFormOnlyToANamedSite) {
  using ebay::route::Route;
  const struct {
    bool keyset, signedIn, named;
    Route route;
    const char* message;
  } rows[] = {
      {true, true, true, Route::Api, ""},
      {true, true, false, Route::Api, ""},
      {true, false, true, Route::Classic, ""},
      {false, false, true, Route::Classic, ""},
      {true, false, false, Route::None, "Nicht bei eBay angemeldet."},
      {false, true, false, Route::None, "Zum Bieten fehlt der eBay-Zugang."},
  };
  for (const auto& r : rows) {
    const auto c = ebay::route::choose({r.keyset, r.signedIn, r.named});
    EXPECT_EQ(c.route, r.route) << r.keyset << r.signedIn << r.named;
    EXPECT_EQ(c.message.left(QString::fromUtf8(r.message).size()), QString::fromUtf8(r.message));
  }
  for (const char* ok : {"https://signin.example.com/x", "http://127.0.0.1:8080/ws",
                         "http://localhost/ws", "http://[::1]:80/"})
    EXPECT_TRUE(ebay::route::passwordMayGoTo(QUrl(QString::fromLatin1(ok)))) << ok;
  for (const char* bad : {"http://offer.ebay.de/ws", "http://192.168.1.2/", "ftp://127.0.0.1/",
                          "http://127.0.0.1.example.com/"})
    EXPECT_FALSE(ebay::route::passwordMayGoTo(QUrl(QString::fromLatin1(bad)))) << bad;
}

TEST(EbayConsent, thePastedAddressOrCodeIsTakenBack) {
  const QString state = "s7Tq";
  const struct {
    const char* pasted;
    const char* code;  // nullptr: refused
  } rows[] = {
      {"https://example.com/accept?state=s7Tq&code=v%5E1.1%23i%5E1%2Bx%3D&expires_in=299",
       "v^1.1#i^1+x="},
      {"  https://example.com/accept?code=abc&state=s7Tq#frag  ", "abc"},
      {"v%5E1.1%23i%5E1%2Bx%3D", "v^1.1#i^1+x="},
      {"v^1.1#i^1+x=", "v^1.1#i^1+x="},
      {"https://example.com/accept?state=other&code=abc", nullptr},
      {"https://example.com/accept?code=abc", nullptr},  // no state: not this sign-in's
      {"https://example.com/decline?state=s7Tq&error=access_denied", nullptr},
      {"https://example.com/accept?state=s7Tq", nullptr},
      {"", nullptr},
  };
  for (const auto& r : rows) {
    const auto reading = ebay::consent::read(QString::fromLatin1(r.pasted), state);
    if (r.code) {
      EXPECT_EQ(reading.code, QString::fromLatin1(r.code)) << r.pasted;
      EXPECT_TRUE(reading.error.isEmpty()) << r.pasted;
    } else {
      EXPECT_TRUE(reading.code.isEmpty()) << r.pasted;
      EXPECT_FALSE(reading.error.isEmpty()) << r.pasted;
    }
  }
  EXPECT_NE(ebay::consent::newState(), ebay::consent::newState());
}

// Amounts are read as the strings eBay writes; a number (already through a double) or a
// malformed time makes the answer unreadable instead of guessed.
TEST(EbayAnswers, anItemIsReadExactlyOrNotAtAll) {
  const QByteArray good = R"({"itemId":"v1|7|0","title":"Lampe","buyingOptions":["AUCTION"],
      "itemEndDate":"2026-12-06T18:15:30.250Z","bidCount":2,
      "currentBidPrice":{"currency":"EUR","value":"16777217.01"},
      "minimumPriceToBid":{"currency":"EUR","value":"16777217.51"}})";
  const auto item = ebay::answers::item(good);
  ASSERT_TRUE(item);
  EXPECT_EQ(item->minimumPriceToBid->value, "16777217.51");
  EXPECT_EQ(item->endUtc->toMSecsSinceEpoch() % 1000, 250);
  EXPECT_TRUE(item->isAuction());
  EXPECT_EQ(item->currency(), "EUR");
  for (const char* bad : {R"({"itemId":"v1|7|0","currentBidPrice":{"currency":"EUR","value":5}})",
                          R"({"itemId":"v1|7|0","itemEndDate":"06.12.2026 18:15"})",
                          R"({"itemId":"v1|7|0","bidCount":"2"})", "[]"})
    EXPECT_FALSE(ebay::answers::item(bad)) << bad;
}
