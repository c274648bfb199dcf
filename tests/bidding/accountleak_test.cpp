// The account stays with the auction site: the bid form may only send it to a configured host,
// and the diagnostic pages never keep the password. (The bid itself against a form naming
// another host is played in dobid_test.)
#include <gtest/gtest.h>

#include "support/texts.h"

#include <QFile>
#include <QTemporaryDir>

#include "bidding/diagnosticpage.h"
#include "bidding/formtarget.h"

// The step-1 page came from the international offer host; the built-in hosts are configured.
// Scheme, host and port must match one of them exactly: no part of a host name, no user info.
TEST(FormTarget, onlyTheConfiguredAuctionHostsMayReceiveTheAccount) {
  const QString page = "http://offer.ebay.com/ws/eBayISAPI.dll";
  const std::pair<QString, bool> cases[] = {
      {"http://offer.ebay.de/ws/eBayISAPI.dll", true},
      {"/ws/eBayISAPI.dll", true},  // relative: the page's own host
      {"eBayISAPI.dll?AcceptBid", true},
      {" HTTP://OFFER.EBAY.DE:80/ws ", true},  // case and the scheme's own port
      {"http://cgi3.ebay.de/ws", true},
      {"https://offer.ebay.de/ws", false},  // a scheme the program was not configured for
      {"ftp://offer.ebay.de/ws", false},
      {"http://offer.ebay.de:8080/ws", false},
      {"http://offer.ebay.de.evil.example/ws", false},
      {"http://offer.ebay.de./ws", false},
      {"http://evil.example/offer.ebay.de", false},
      {"http://offer.ebay.de@evil.example/ws", false},
      {"http://bieter:pw@offer.ebay.de/ws", false},
      {"http://evil.example\\@offer.ebay.de/ws", false},
      {"//evil.example/ws/eBayISAPI.dll", false},           // relative to the scheme only
      {"http://www.rotbart-ebay-tools.de/files/x", false},  // the vendor is no auction host
      {"http://[::1]/ws", false},
      {"javascript:alert(1)", false},
  };
  for (const auto& [action, allowed] : cases)
    EXPECT_EQ(formtarget::isAuctionHost(Endpoints{}, formtarget::resolve(page, action)), allowed)
        << action;
}

TEST(DiagnosticPage, masksEveryPasswordInputAndThePasswordWhereverItStands) {
  const QString pass = "Geheim ä&1";
  const std::pair<QString, QString> cases[] = {
      {R"(<input type="password" name="pass" value="x">)",
       R"(<input type="password" name="pass" value="***">)"},
      {"<INPUT TYPE=PASSWORD NAME=pass VALUE=geheim>", "<INPUT TYPE=PASSWORD NAME=pass VALUE=***>"},
      {"<input value='a>b' type = 'Password'><p>", "<input value='***' type = 'Password'><p>"},
      {R"(<input type="password" name="pass" value="">)",
       R"(<input type="password" name="pass" value="">)"},
      {R"(<input type="text" name="user" value="bieter">)",
       R"(<input type="text" name="user" value="bieter">)"},
      {"Ihr Passwort: Geheim ä&1 (Geheim ä&amp;1)", "Ihr Passwort: *** (***)"},
      {"user=bieter&pass=Geheim+%E4%261&x=1", "user=bieter&pass=***&x=1"},
      // Echoed in every other form a page can carry, the forms mixed as a site mixes them.
      {"<p>Geheim \u00C3\u00A4&1</p>", "<p>***</p>"},  // UTF-8 read as Windows-1252
      {"Geheim &#228;&#38;1.", "***."},
      {"&#x47;eheim&#32;&#XE4;&#x0026;1", "***"},
      {"Geheim &auml;&amp;1", "***"},
      {"'Geheim \\xe4&1' \\x47\\x65heim\\x20\\xC3\\xA4\\x261", "'***' ***"},
      {"pass=Geheim+%e4%261&p2=Geheim%20%c3%a4%261", "pass=***&p2=***"},
      {"{\"p\":\"Geheim \\u00e4\\u00261\"}", "{\"p\":\"***\"}"},
      {R"(<input type="password" value="a"><input type="password" value="b")",
       R"(<input type="password" value="***"><input type="password" value="***")"},
  };
  for (const auto& [page, masked] : cases)
    EXPECT_EQ(diagnosticpage::maskPasswords(page, pass), masked);
  EXPECT_EQ(diagnosticpage::maskPasswords("<input type=password value=x> x", ""),
            "<input type=password value=***> x");
}

// endpoints.ini is read line by line: a stray character (a lone '"') costs only its own line or
// key, never the keys after it. A key that cannot be read gets no host at all, never eBay's
// built-in one, so the account cannot go there because the configured host was lost; a key the
// file does not name keeps the built-in host.
TEST(Endpoints, aDamagedFileLosesOnlyWhatCannotBeReadAndNeverFallsBackToABuiltInHost) {
  const QString a = "http://127.0.0.1:1", b = "http://127.0.0.1:2";
  const struct {
    QByteArray text;
    QString offerHost, itemHost;
    QStringList unread;
  } cases[] = {
      {"[Endpoints]\nOfferHost=" + a.toLatin1() + "\n\"\nItemHost=" + b.toLatin1() + "\n",
       a,
       b,
       {"Zeile 3"}},
      {"[Endpoints]\nOfferHost=\"" + a.toLatin1() + "\nItemHost=" + b.toLatin1() + "\n",
       "",
       b,
       {"OfferHost"}},
      {"[Endpoints]\nOfferHost=" + a.toLatin1() + "\"\nItemHost=\"" + b.toLatin1() + "\"\n",
       "",
       b,
       {"OfferHost"}},
      {"[Endpoints\nOfferHost=" + a.toLatin1() + "\n",
       "",
       "http://cgi.ebay.com",
       {"Zeile 1", "OfferHost"}},
      {"[Endpoints]\r\nItemHost=" + b.toLatin1() + "\r\n", "http://offer.ebay.com", b, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    QTemporaryDir dir;
    QFile file(dir.filePath("endpoints.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(c.text);
    file.close();
    QStringList unread;
    const Endpoints e = Endpoints::load(dir.path(), &unread);
    EXPECT_EQ(e.offerHost, c.offerHost);
    EXPECT_EQ(e.itemHost, c.itemHost);
    EXPECT_EQ(e.offerHostDe, "http://offer.ebay.de");  // not named
    EXPECT_EQ(unread, c.unread);
    if (c.offerHost.isEmpty()) {  // no host the account may go to stands in for the lost one
      EXPECT_FALSE(formtarget::isAuctionHost(e, QUrl("http://offer.ebay.com/ws/eBayISAPI.dll")));
    }
  }
}
