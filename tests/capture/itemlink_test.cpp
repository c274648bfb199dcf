// What a copied or dropped text names, and what an item page's answer gives.
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "app/dateserial.h"
#include "capture/itemlink.h"
#include "capture/itempage.h"
#include "platform/linux/qtplatform.h"
#include "support/texts.h"

TEST(ItemLink, linksAndNumbersNameTheirItemAnythingElseNone) {
  const QString id = QStringLiteral("1234567890");
  const struct {
    QString text;
    QString item;
  } cases[] = {
      // Links to the item page, with and without query and fragment, any host and case.
      {"http://cgi.ebay.de/ws/eBayISAPI.dll?ViewItem&item=1234567890", id},
      {"https://cgi.ebay.de/ws/eBayISAPI.dll?ViewItem&rd=1&item=1234567890&ssPageName=STRK#x", id},
      {"HTTP://CGI.EBAY.COM/ws/eBayISAPI.dll?viewitem&item=1234567890", id},
      {"https://www.ebay.de/itm/1234567890", id},
      {"https://www.ebay.de/itm/1234567890/", id},
      {"https://www.ebay.de/itm/1234567890?hash=item1&var=0#viTabs_0", id},
      {"https://www.ebay.de/itm/M%C3%A4rklin-Dampflok-BR-01/1234567890?_trkparms=a%3D1", id},
      {"http://127.0.0.1:8080/itm/Lok/123", "123"},
      {"https://www.ebay.co.uk/ITM/9876543210123", "9876543210123"},
      // Bare numbers: blanks and line breaks around them are ignored.
      {"1234567890", id},
      {"  1234567890\r\n", id},
      {"\t12345678 ", "12345678"},
      {"1234567890123456789", "1234567890123456789"},
      // Refused: short or long numbers, other characters, other pages, other schemes.
      {"1234567", ""},
      {"12345678901234567890", ""},
      {"1234 567890", ""},
      {"+1234567890", ""},
      {"1234567890,00", ""},
      {QString::fromUtf8("１２３４５６７８９０"), ""},  // full-width digits
      {QString::fromUtf8("١٢٣٤٥٦٧٨٩٠"), ""},            // Arabic-Indic digits
      {"https://www.ebay.de/sch/i.html?_nkw=dampflok&item=1234567890", ""},
      {"https://www.ebay.de/ws/eBayISAPI.dll?ViewItemX&item=1234567890", ""},
      {"https://www.ebay.de/ws/eBayISAPI.dll?ViewItem&item=12a4", ""},
      {"https://www.ebay.de/ws/eBayISAPI.dll?ViewItem", ""},
      {"https://www.ebay.de/itm/", ""},
      {"https://www.ebay.de/itm/Lok", ""},
      {"https://www.ebay.de/itm/a/b/1234567890", ""},
      {"https://www.ebay.de/itm//1234567890", ""},
      {"https://www.ebay.de/usr/itm/1234567890", ""},
      {"https://www.ebay.de/itm/-1234567890", ""},
      {"ftp://www.ebay.de/itm/1234567890", ""},
      {"javascript:alert(1)//itm/1234567890", ""},
      {"www.ebay.de/itm/1234567890", ""},
      {"http:///itm/1234567890", ""},
      {"Schau mal: https://www.ebay.de/itm/1234567890", ""},
      {"https://www.ebay.de/itm/1234567890\nhttps://www.ebay.de/itm/1111111111", ""},
      {"", ""},
      {"   ", ""},
      // Texts longer than 2000 characters are not looked at, even when they end in a link.
      {QString(2000 - 34, QChar(' ')) + "https://www.ebay.de/itm/1234567890", id},
      {QString(2001 - 34, QChar(' ')) + "https://www.ebay.de/itm/1234567890", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.left(120).toStdString());
    EXPECT_EQ(itemlink::itemNumber(c.text), c.item);
  }
  EXPECT_EQ(
      itemlink::firstItemNumber({"Lok", "https://www.ebay.de/itm/Lok/1234567890", "99999999"}), id);
  EXPECT_EQ(itemlink::firstItemNumber({"Lok", ""}), "");
}

// The page's title is read as a browser shows it and judged by the title rules; the item number
// is always the one asked for.
TEST(ItemPageAnswer, theAnswerGivesTheItemOrSaysWhyNot) {
  using itempage::Refusal;
  const double now = dateserial::fromParts({2026, 12, 5, 19, 0, 0});
  const QString page = QStringLiteral(
      "<html><head><TITLE lang=de>\n  eBay Artikel 1234567890 (endet 05.12.26 20:00:00 MEZ) -\t"
      "Gr&uuml;&szlig;e &amp; K&#252;sse&#13;&#10;f&#x00FC;r 5 &#128; &euro; &bogus; "
      "</TITLE></head>"
      "<body><title>eBay Artikel 2 (endet 01.01.27 10:00:00 MEZ) - Zweiter</title></body></html>");
  const QString soon =
      QStringLiteral("<title>eBay Artikel 1234567890 (endet 05.12.26 19:00:01 MEZ) - X</title>");
  const struct {
    const char* what;
    itempage::Answer answer;
    Refusal refusal;
    QString auktionTitel;
    double endet = 0;
  } cases[] = {
      // clang-format off
      {"a page of the site", {"1234567890", true, 200, "", itempage::title(page)}, Refusal::None,
       QStringLiteral("Grüße & Küsse für 5 € € &bogus;"),
       dateserial::fromParts({2026, 12, 5, 20, 0, 0})},
      {"a title with another item number: the asked one stays",
       {"98765432101", true, 200, "", itempage::title(soon)}, Refusal::None, "X",
       dateserial::fromParts({2026, 12, 5, 19, 0, 1})},
      {"no answer", {"1234567890", false, 0, "keine Antwort", ""}, Refusal::NotLoaded},
      {"an error status", {"1234567890", true, 404, "", "eBay - Seite nicht gefunden"},
       Refusal::NotLoaded},
      {"a redirect that was not followed", {"1234567890", true, 302, "", ""}, Refusal::NotLoaded},
      {"garbage", {"1234567890", true, 200, "", itempage::title("\x01\x02<titl")},
       Refusal::NoAuction},
      {"a page without auction", {"1234567890", true, 200, "", "eBay - Mein eBay"},
       Refusal::NoAuction},
      {"an end time that is none",
       {"1234567890", true, 200, "", "eBay Artikel 1234567890 (endet bald) - Lok"},
       Refusal::NoAuction},
      {"ended this very second",
       {"1234567890", true, 200, "", "eBay Artikel 1234567890 (endet 05.12.26 19:00:00 MEZ) - X"},
       Refusal::Ended},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const itempage::Outcome o = itempage::judge(c.answer, now, RegionalFormat::german());
    EXPECT_EQ(o.refusal, c.refusal);
    EXPECT_EQ(o.itemId, c.answer.itemId);
    EXPECT_EQ(o.auktionTitel, c.auktionTitel);
    EXPECT_EQ(o.endet, c.endet);
  }
  EXPECT_EQ(itempage::title(page),
            QStringLiteral("eBay Artikel 1234567890 (endet 05.12.26 "
                           "20:00:00 MEZ) - Grüße & Küsse für 5 € € &bogus;"));
  EXPECT_EQ(itempage::url("http://cgi.ebay.de", "1234567890"),
            "http://cgi.ebay.de/ws/eBayISAPI.dll?ViewItem&item=1234567890");
  // The site's own pages are Windows-1252; a page that says UTF-8 is read as such.
  const QByteArray grüße =
      "Gr\xc3\xbc\xc3\x9f"
      "e";
  EXPECT_EQ(itempage::decode("Gr\xfc\xdf"
                             "e",
                             ""),
            QStringLiteral("Grüße"));
  EXPECT_EQ(itempage::decode(grüße, "text/html; charset=UTF-8"), QStringLiteral("Grüße"));
  EXPECT_EQ(itempage::decode("<meta charset=\"utf-8\">" + grüße, "text/html").mid(22),
            QStringLiteral("Grüße"));
  EXPECT_EQ(
      itempage::decode("<meta charset=\"utf-8\">" + grüße, "text/html; charset=iso-8859-1").mid(22),
      QStringLiteral("GrÃ¼ÃŸe"));
}

// The title is found in one pass: a hostile page of 2 MB of unclosed title tags has none, and
// says so at once (a search that began again at every tag took minutes). The bound is a guard
// against that hang, not a measure of speed.
TEST(ItemPageAnswer, aPageOfUnclosedTitleTagsHasNoTitleAndIsReadAtOnce) {
  for (const QString tag : {"<title>", "<TITLE lang=de "}) {
    QElapsedTimer took;
    took.start();
    EXPECT_EQ(itempage::title(tag.repeated(2 * 1024 * 1024 / tag.size())), "");
    EXPECT_LT(took.elapsed(), 30000);
  }
  EXPECT_EQ(itempage::title("<titles><title\n>a<title>b</titlex></title\t>"), "a<title>b</titlex>");
}

TEST(ItemPageAnswer, theMessageAndTheLogSayWhy) {
  using itempage::Refusal;
  const itempage::Answer refused{"1234567890", false, 0, "keine Antwort", ""};
  const itempage::Answer missing{"1234567890", true, 404, "", "Nicht gefunden"};
  EXPECT_EQ(itempage::message("1234567890", Refusal::NotLoaded),
            "Der Artikel 1234567890 wurde nicht übernommen.\r\n"
            "Die Artikelseite konnte nicht geladen werden.");
  EXPECT_EQ(itempage::message("1", Refusal::Ended).section("\r\n", 1),
            "Die Auktion ist bereits beendet.");
  EXPECT_EQ(itempage::message("1", Refusal::NoAuction).section("\r\n", 1),
            "Die Artikelseite zeigt keine Auktion.");
  EXPECT_EQ(itempage::message("1", Refusal::None), "");
  EXPECT_EQ(itempage::logLine(refused, Refusal::NotLoaded),
            "Artikel übernehmen: 1234567890 nicht übernommen - Artikelseite nicht geladen "
            "(keine Antwort)");
  EXPECT_EQ(itempage::logLine(missing, Refusal::NotLoaded).section(" - ", 1),
            "Artikelseite nicht geladen (HTTP 404)");
  EXPECT_EQ(itempage::logLine(missing, Refusal::NoAuction).section(" - ", 1),
            "keine Auktion im Seitentitel: Nicht gefunden");
}

// In a Wayland session with XWayland the program asks for X11; a platform someone named stays.
TEST(QtPlatform, aWaylandSessionWithX11RunsOnX11) {
  EXPECT_EQ(qtplatform::choose("", "wayland-0", ":0"), "xcb");
  EXPECT_EQ(qtplatform::choose("", "wayland-0", ""), "");
  EXPECT_EQ(qtplatform::choose("", "", ":0"), "");
  EXPECT_EQ(qtplatform::choose("wayland", "wayland-0", ":0"), "");
  EXPECT_EQ(qtplatform::choose("offscreen", "wayland-0", ":0"), "");
}

TEST(ItemPageAnswer, theHighBidderTheItemPageNames) {
  const std::pair<QString, QString> cases[] = {
      {"<tr><td>Höchstbietender:</td><td>bieter_1</td></tr>", "bieter_1"},
      {"<td>Höchstbietender:</td>\n<td class=x> <b>K&auml;ufer 2 </b></td>", "Käufer 2"},
      {"H&ouml;chstbietender: anna", "anna"},
      {"<td>Höchstbietender:</td><td>(noch keine Gebote)</td>", ""},
      {"<p>Gebote: 3</p>", ""},
  };
  for (const auto& [html, name] : cases) EXPECT_EQ(itempage::highBidder(html), name) << html;
}
