#include <gtest/gtest.h>

#include "printers.h"

#include "app/vberror.h"
#include "bidding/bidoutcome.h"
#include "update/versioncheck.h"

using namespace bidoutcome;

namespace {
// A reply of the site: the text somewhere in a page, never at its start.
QString pageWith(const QString& text) {
  return "<html><body>" + text + "</body></html>";
}
const QString kStep1Done = "Bieten Teil 1/2 - beendet";
const QString kStep2Done = "Bieten Teil 2/2 - beendet";
}  // namespace

TEST(ClassifyStep1, rowsInOrderCaseSensitive) {
  const QString noData = "Keine Daten vom\r\neBay-Server erhalten.\r\nInternetverbindung prüfen.";
  for (const QString& reply : {QString(), QString("123456789")}) {
    const auto o = classifyStep1(reply);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->code, "nd");
    EXPECT_EQ(o->resultText, noData);
    EXPECT_EQ(o->logLines,
              (QStringList{"Bieten Teil 1/2 - Keine Daten vom eBayserver. Internetverbindung "
                           "prüfen.",
                           kStep1Done}));
  }
  EXPECT_FALSE(classifyStep1("1234567890"));  // ten characters: taken for a page

  const auto low = classifyStep1(pageWith("Your bid must be at least EUR 5.50"));
  ASSERT_TRUE(low);
  EXPECT_EQ(low->code, "lB");
  EXPECT_EQ(low->resultText, "Das Gebot\r\nwar leider\r\nzu gering.");
  EXPECT_EQ(low->logLines, (QStringList{"Bieten Teil 1/2 - Gebot zu gering", kStep1Done}));

  const auto ended = classifyStep1(pageWith("cannot be accepted because the auction has ended."));
  ASSERT_TRUE(ended);
  EXPECT_EQ(ended->code, "Ae");
  EXPECT_EQ(ended->resultText, "Die Auktion\r\nwar leider\r\nschon beendet.");
  EXPECT_EQ(ended->logLines, (QStringList{"Bieten Teil 1/2 - Auktion schon beendet", kStep1Done}));

  // Both texts: the first row wins.
  EXPECT_EQ(
      classifyStep1(pageWith("because the auction has ended. Your bid must be at least 1"))->code,
      "lB");
  // Step 1 compares case-sensitively, and the very first character does not count.
  EXPECT_FALSE(classifyStep1(pageWith("your bid must be at least 5")));
  EXPECT_FALSE(classifyStep1("Your bid must be at least 5"));
  EXPECT_EQ(classifyStep1("Your bid must be at least 5; Your bid must be at least 5")->code, "lB");
}

TEST(ClassifyStep2, rowsInOrderIgnoringCase) {
  struct Row {
    QString reply, code, text, log;
  };
  const QList<Row> rows = {
      {"123456789", "nd", "Keine Daten vom\r\neBay-Server erhalten.\r\nInternetverbindung prüfen.",
       "Bieten Teil 2/2 - Keine Daten vom eBayserver. Internetverbindung prüfen."},
      {pageWith("YOUR USER ID IS NOT VALID"), "pw", "Der Benutzername\r\nist\r\nungültig.",
       "Bieten Teil 2/2 - Benutzername ungültig"},
      {pageWith("your sign-in information is not valid"), "pw", "Das Passwort\r\nist\r\nfalsch.",
       "Bieten Teil 2/2 - Passwort falsch"},
      {pageWith("Because The Auction Has Ended"), "AE",
       "Die Auktion\r\nwar leider\r\nschon beendet.", "Bieten Teil 2/2 - Auktion schon beendet"},
      {pageWith("your bid must be at least"), "ob",
       "Sie haben\r\nnicht das höchste\r\nGebot abgegeben.", "Bieten Teil 2/2 - Gebot zu gering"},
      {pageWith("you have been outbid by another bidder"), "ob",
       "Sie haben\r\nnicht das höchste\r\nGebot abgegeben.", "Bieten Teil 2/2 - Gebot zu gering"},
      {pageWith("You are the current HIGH bidder"), "hb",
       "Sie haben\r\ndas höchste\r\nGebot abgegeben.", "Bieten Teil 2/2 - Höchstgebot abgegeben"},
      {"<html><TITLE>eBay Item 1 - Lampe</TITLE>", "hb", "Ihr Gebot\r\nwurde\r\nberücksichtigt.",
       "Bieten Teil 2/2 - Gebot angekommen"},
      {pageWith("Thank you"), "er", "Problem\r\nbei der\r\nGebotsabgabe.",
       "Bieten Teil 2/2 - Fehler bei Gebotsabgabe"},
      {"1234567890", "er", "Problem\r\nbei der\r\nGebotsabgabe.",
       "Bieten Teil 2/2 - Fehler bei Gebotsabgabe"},
  };
  for (const Row& row : rows) {
    const BidOutcome o = classifyStep2(row.reply);
    EXPECT_EQ(o.code, row.code) << row.reply.toStdString();
    EXPECT_EQ(o.resultText, row.text) << row.reply.toStdString();
    EXPECT_EQ(o.logLines, (QStringList{row.log, kStep2Done})) << row.reply.toStdString();
  }
}

TEST(ClassifyStep2, whereTwoTextsMeetTheEarlierRowWins) {
  EXPECT_EQ(classifyStep2(pageWith("Your User ID is not valid. Your sign-in information is not "
                                   "valid"))
                .resultText,
            "Der Benutzername\r\nist\r\nungültig.");
  EXPECT_EQ(classifyStep2(pageWith("You have been outbid by x because the auction has ended")).code,
            "AE");
  EXPECT_EQ(
      classifyStep2(pageWith("You are the current high bidder. You have been outbid by x")).code,
      "ob");
  EXPECT_EQ(classifyStep2("<title>eBay item 1</title> You are the current high bidder").resultText,
            "Sie haben\r\ndas höchste\r\nGebot abgegeben.");
  // At the very first character a text does not count.
  EXPECT_EQ(classifyStep2("You are the current high bidder").code, "er");
  EXPECT_EQ(classifyStep2("<title>eBay item 1</title>").code, "er");
}

TEST(SignInPage, isRecognisedInAnyCaseButNotAtTheStart) {
  EXPECT_TRUE(isSignInPage(pageWith("Welcome to eBay!")));
  EXPECT_TRUE(isSignInPage(pageWith("welcome to ebay!")));
  EXPECT_FALSE(isSignInPage("Welcome to eBay! Please sign in"));
  EXPECT_FALSE(isSignInPage(pageWith("Welcome to eBay")));
  EXPECT_EQ(logSignInRestart(), "Bieten Teil 2/2 - Neues Cookie bekommen -> Restart");
  const BidOutcome missing = missingForm();
  EXPECT_EQ(missing.code, "er");
  EXPECT_EQ(missing.logLines,
            (QStringList{"Bieten Teil 2/2 - keine Formulardaten in Teil 1", kStep2Done}));
}

TEST(BidRequest, amountHasADecimalPointUnderEveryLocale) {
  for (const RegionalFormat& region : {RegionalFormat::german(), RegionalFormat::english()}) {
    EXPECT_EQ(bidAmount(7.5f, region), "7.5");
    EXPECT_EQ(bidAmount(10.0f, region), "10");
    EXPECT_EQ(bidAmount(1234.56f, region), "1234.56");
    EXPECT_EQ(step1Body("1234567890", 12.5f, region),
              "MfcISAPICommand=MakeBid&item=1234567890&quant=1&maxbid=12.5");
  }
  // An item number cannot bring a second amount into the body.
  EXPECT_EQ(step1Body("12&maxbid=1", 10.0f, RegionalFormat::german()),
            "MfcISAPICommand=MakeBid&item=12%26maxbid%3D1&quant=1&maxbid=10");
  EXPECT_EQ(requestHeaders("http://x/ws/eBayISAPI.dll"),
            "Referer: http://x/ws/eBayISAPI.dll\r\n"
            "Content-Type: application/x-www-form-urlencoded\r\n"
            "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"
            "Accept-Language: de\r\n"
            "Proxy-Connection: Keep-Alive\r\n"
            "Pragma: no-cache\r\n");
  for (const char* bad : {"http://x/?item=1\r\nX-Evil: 1", "http://x/\n", "http://x/\r"}) {
    try {
      requestHeaders(bad);
      ADD_FAILURE() << bad;
    } catch (const VbError& e) {
      EXPECT_EQ(e.number(), 5);
    }
  }
}

TEST(BidRequest, diagnosticFileNamesStayInTheProgramFolder) {
  EXPECT_EQ(diagnosticFileName(1, "1234567890"), "Teil_1__1234567890.htm");
  EXPECT_EQ(diagnosticFileName(2, "../../x/y"), "Teil_2________x_y.htm");
  EXPECT_EQ(diagnosticFileName(1, QString::fromUtf8("Ä-_ b\\c")),
            QString::fromUtf8("Teil_1__Ä-__b_c.htm"));
  EXPECT_EQ(diagnosticFileName(2, ""), "Teil_2__.htm");
}

TEST(VersionKey, comparesPiecesWithAtLeastTwoDigits) {
  EXPECT_EQ(versionKey("1.03.0007"), "010307");
  EXPECT_GT(versionKey("1.03.0007"), versionKey("1.3.6"));
  EXPECT_EQ(versionKey("1.03.0006"), versionKey("1.3.6"));
  EXPECT_GT(versionKey("1.10.0001"), versionKey("1.9.9"));  // 011001 > 010909
  EXPECT_EQ(versionKey("1.03"), "");
  EXPECT_EQ(bidReportUserAgent("1.3.6", "Linux", "Ae"),
            "User-Agent: Auktionsuhr++ - 1.3.6 - Linux - Ae\r\n");
}
