// The main window on the eBay route, against the simulator's API: which way arming goes and
// what it refuses, each in one message; the bid at the trigger, exactly as typed, and eBay's
// verdict after the end; a refresh token eBay refuses leaves the keyring too.
#include <gtest/gtest.h>

#include <QJsonDocument>

#include "app/dateserial.h"
#include "ebay/ebaytime.h"
#include "ebay/itemwatch.h"
#include "ebay/oauthclient.h"
#include "ebay/secrets.h"
#include "ebay/transport.h"
#include "ebaysite.h"
#include "sniper/form1.h"
#include "support/controls.h"
#include "support/texts.h"

namespace {
const QString kItem = "1234567890";

// The window with the simulator's hosts, its clock going with the simulator's (real time).
struct EbayWindow {
  explicit EbayWindow(const sim::Config& config) : site(config), form(*env.ctx), ui(form) {
    AppState& s = env.state;
    s.endpoints = site.endpoints();
    s.user = "bieter";
    s.pass = "geheim";
    s.sectobid = "1";
    s.siteTimeMeasuring = true;  // no measurement of the site's clock mingles in
    env.keyring.available = true;
    env.clock.setMs(ebay::localMsOf(QDateTime::currentDateTimeUtc()));
    env.clock.runOn();
    ui.Txt_maxbid->show();
    ui.Command1->show();
    form.show();
  }
  // The keyset set up, and with `signIn` the consent given on the simulator's page.
  bool setUp(bool signIn) {
    ebay::Account& a = env.state.ebay;
    a.loaded = true;
    a.keyset.appId = kApp;
    a.keyset.certId = kCert;
    a.keyset.ruName = kRuName;
    if (!signIn) return true;
    ebay::Transport transport;
    ebay::OAuthClient oauth(a, ebay::hostsFor(a.keyset.environment, env.state.endpoints), env.clock,
                            transport);
    std::optional<bool> ok;
    oauth.completeSignIn(agree(oauth.consentPage().toString()), &transport,
                         [&](bool done, const QString&) { ok = done; });
    return QTest::qWaitFor([&] { return ok.has_value(); }, 10000) && *ok;
  }
  void armWith(const QString& amount) {
    ui.Txt_maxbid->setText(amount);
    form.Command1_Click();
  }
  // Both clocks `ms` on: the window's and the simulator's.
  void later(qint64 ms) {
    site.sim().setSiteOffsetMs(ms + offsetMs);
    offsetMs += ms;
    env.clock.setMs(env.clock.localMs() + ms);
  }
  QString label(const char* name) const { return control<QLabel>(form, name)->text(); }

  SimServer site;
  TestEnv env;
  Form1 form;
  MainWindowControls ui;
  qint64 offsetMs = 0;
};

sim::Config listed(bool auction = true, bool adultOnly = false) {
  sim::Config c = ebaySite();
  c.ebay.listings[kItem.toStdString()].auction = auction;
  c.ebay.listings[kItem.toStdString()].adultOnly = adultOnly;
  return c;
}
}  // namespace

TEST(EbayWindow, armingGoesTheWayThatIsSetUpOrSaysInOneMessageWhatIsMissingOrWrong) {
  const struct {
    const char* what;
    bool keyset, signIn, classicSite, auction;
    qint64 laterMs;
    QString amount, message;  // no message: armed
  } rows[] = {
      {"nothing set up", false, false, false, true, 0, "12,50",
       "Zum Bieten fehlt der eBay-Zugang. Bitte unter Optionen, „eBay-Zugang…“, das eigene "
       "eBay-Keyset (App ID, Cert ID, RuName) eintragen und anmelden."},
      {"keyset, not signed in", true, false, false, true, 0, "12,50",
       "Nicht bei eBay angemeldet. Bitte unter Optionen, „eBay-Zugang…“, anmelden, dann erneut "
       "scharf schalten."},
      {"not signed in, a classic site named", true, false, true, true, 0, "12,50", ""},
      {"below the minimum bid", true, true, false, true, 0, "4,99",
       "Das Höchstgebot liegt unter dem Mindestgebot von 5,00 EUR. Bitte mindestens diesen "
       "Betrag eingeben."},
      {"more than cents", true, true, false, true, 0, "12,555",
       "Das Höchstgebot „12,555“ ist kein genauer Betrag. Bitte in der Form 1.234,50 eingeben "
       "(höchstens zwei Nachkommastellen)."},
      {"no auction", true, true, false, false, 0, "12,50",
       "Dieser Artikel ist keine Auktion (nur Sofort-Kaufen), auf ihn kann nicht geboten "
       "werden."},
      {"ended", true, true, false, true, 11 * 60'000, "12,50",
       "Diese Auktion ist bereits beendet."},
      {"signed in, named site or not", true, true, true, true, 0, "5,00", ""},
  };
  for (const auto& row : rows) {
    EbayWindow w(listed(row.auction));
    w.env.state.endpoints.classicSiteNamed = row.classicSite;
    if (row.keyset) ASSERT_TRUE(w.setUp(row.signIn)) << row.what;
    // An item as a window title gives it: arming reads it from eBay.
    w.env.state.ItemID = kItem;
    w.env.state.endet = dateserial::fromLinearSeconds(w.env.clock.wholeSeconds() + 600);
    w.env.clock.setMs(w.env.clock.localMs() + row.laterMs);  // the window's clock alone
    w.armWith(row.amount);
    EXPECT_EQ(w.env.dialogs.messages,
              row.message.isEmpty() ? QStringList() : QStringList{row.message})
        << row.what;
    EXPECT_EQ(w.env.state.armed, row.message.isEmpty()) << row.what;
  }
}

TEST(EbayWindow, bidsAtTheTriggerExactlyAsTypedAndSaysAfterTheEndWhetherItWasWon) {
  EbayWindow w(listed(true, true));
  ASSERT_TRUE(w.setUp(true));
  w.env.clipboard.content = "https://www.ebay.de/itm/" + kItem;
  w.form.Lbl_GetArtikel_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.env.state.ItemID == kItem; }, 10000));
  EXPECT_EQ(w.env.state.AuktionTitel, "Lampe");
  EXPECT_EQ(w.label("Lbl_Preis"), "Aktuell 5,00 EUR (0 Gebote)");
  EXPECT_EQ(w.label("Lbl_Mindestgebot"), "Mindestgebot 5,00 EUR");

  // An adult-only item arms on the user's yes, and the bid carries that consent.
  w.armWith("1.234,50");
  ASSERT_EQ(w.env.dialogs.questions.size(), 1);
  EXPECT_EQ(w.env.dialogs.questions[0].first, ebay::itemwatch::adultOnlyQuestion());
  w.env.dialogs.questions[0].second(true);
  ASSERT_TRUE(w.env.state.armed);

  const qint64 endMs = dateserial::toLinearSeconds(w.env.state.endet) * 1000;
  w.later(endMs - 1000 - w.env.clock.localMs());
  w.form.Update_Label();
  QJsonObject bid;
  for (const QJsonObject& r : w.site.requests())
    if (r["path"].toString().endsWith("/place_proxy_bid")) bid = r;
  const QJsonObject body = QJsonDocument::fromJson(bid["body"].toString().toUtf8()).object();
  EXPECT_EQ(body["maxAmount"].toObject()["value"].toString(), "1234.50");
  EXPECT_EQ(body["maxAmount"].toObject()["currency"].toString(), "EUR");
  EXPECT_TRUE(body["userConsent"].toObject()["adultOnlyItem"].toBool());
  EXPECT_TRUE(w.env.logMessages().contains("eBay-Gebot - gesendet: 1.234,50 EUR"));
  bool reported = false;  // the vendor hears the API's outcome code
  for (const QJsonObject& r : w.site.requests())
    reported |= QJsonDocument(r).toJson().contains(" - Ahb");
  EXPECT_TRUE(reported);

  w.later(endMs + 3000 - w.env.clock.localMs());
  const QPair<QString, QString> won{"Lampe", "Auktion gewonnen! Endpreis 5,00 EUR"};
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.env.notifier.shown.contains(won); }, 15000));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return w.ui.LabelZeit->text() == "Auktion\ngewonnen!\nEndpreis 5,00 EUR"; }, 5000))
      << w.ui.LabelZeit->text().toStdString();
  EXPECT_EQ(w.form.groupState(), grouprule::State::Won);  // what a bid group hears
}

TEST(EbayWindow, aRefreshTokenEbayRefusesLeavesTheKeyringToo) {
  EbayWindow w(listed());
  ASSERT_TRUE(w.setUp(true));
  ebay::Account& a = w.env.state.ebay;
  a.refreshToken.value = "v^1.1#widerrufen";
  a.userToken = {};
  w.env.keyring.secrets.insert(ebay::kRefreshTokenName, a.refreshToken.value);
  w.env.setSetting("EbayAnmeldungBis", "2028-06-01T12:00:00.000Z");
  w.env.state.ItemID = kItem;
  w.env.state.endet = dateserial::fromLinearSeconds(w.env.clock.wholeSeconds() + 600);
  w.armWith("5,00");  // renews the user token at once
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return !w.env.keyring.secrets.contains(ebay::kRefreshTokenName); }, 10000));
  EXPECT_EQ(w.env.setting("EbayAnmeldungBis"), "");
  EXPECT_FALSE(a.signedIn(w.env.clock.localMs()));
}
