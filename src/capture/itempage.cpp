#include "capture/itempage.h"

#include <QHash>
#include <QRegularExpression>
#include <QUrl>

#include <optional>

#include "app/cp1252.h"
#include "app/dateserial.h"

namespace itempage {
namespace {

// Named references a title of the site may carry besides the markup characters: the Latin-1
// letters and signs of German, French and other western titles, and the few the site writes
// outside that range.
const QHash<QString, char32_t>& namedReferences() {
  static const QHash<QString, char32_t> names = [] {
    QHash<QString, char32_t> h{{"amp", U'&'},      {"lt", U'<'},      {"gt", U'>'},
                               {"quot", U'"'},     {"apos", U'\''},   {"nbsp", 0xA0},
                               {"euro", 0x20AC},   {"ndash", 0x2013}, {"mdash", 0x2014},
                               {"bdquo", 0x201E},  {"ldquo", 0x201C}, {"rdquo", 0x201D},
                               {"sbquo", 0x201A},  {"lsquo", 0x2018}, {"rsquo", 0x2019},
                               {"hellip", 0x2026}, {"trade", 0x2122}, {"bull", 0x2022}};
    // HTML's names of the Latin-1 characters 0xA1 to 0xFF, in code order.
    static const char* const latin1[] = {
        "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",
        "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",
        "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",
        "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",
        "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute",
        "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",
        "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",
        "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave",
        "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",    "ntilde",
        "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave", "uacute",
        "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};
    char32_t code = 0xA1;
    for (const char* name : latin1) h.insert(QString::fromLatin1(name), code++);
    return h;
  }();
  return names;
}

// One character reference's character; 0 when it is none the program knows.
char32_t referenced(const QString& name) {
  if (name.startsWith(QLatin1Char('#'))) {
    bool ok = false;
    const bool hex =
        name.size() > 1 && (name[1] == QLatin1Char('x') || name[1] == QLatin1Char('X'));
    const uint code = hex ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
    // What HTML puts in place of a NUL, a surrogate or a code beyond Unicode.
    if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0xFFFD;
    // Codes 0x80 to 0x9F mean the Windows-1252 characters there, as in browsers.
    if (code >= 0x80 && code <= 0x9F) {
      const QString c = cp1252::decode(QByteArray(1, static_cast<char>(code)));
      return c.isEmpty() ? code : c.at(0).unicode();
    }
    return code;
  }
  return namedReferences().value(name, 0);
}

QString resolveReferences(const QString& text) {
  static const QRegularExpression reference(
      QStringLiteral("&(#[0-9]{1,8}|#[xX][0-9a-fA-F]{1,8}|"
                     "[A-Za-z][A-Za-z0-9]{1,7});"));
  QString out;
  qsizetype from = 0;
  auto it = reference.globalMatch(text);
  while (it.hasNext()) {
    const QRegularExpressionMatch m = it.next();
    const char32_t c = referenced(m.captured(1));
    if (c == 0) continue;  // an unknown name stays as it is written
    out += text.mid(from, m.capturedStart() - from);
    out += QString::fromUcs4(&c, 1);
    from = m.capturedEnd();
  }
  return out + text.mid(from);
}

bool isTagSpace(QChar c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v';
}

// The text of the first <title> element: from the end of the first opening tag ("<title>" or
// "<title" + white space + attributes + ">", any case) to the first "</title" + white space +
// ">" after it. One pass over the page: a page of a million unclosed "<title>" tags has no
// title, and a search that started again at each of them would take hours.
std::optional<QStringView> titleElementText(const QString& html) {
  const QLatin1String open("<title"), close("</title");
  qsizetype at = 0, textStart = -1;
  while ((at = html.indexOf(open, at, Qt::CaseInsensitive)) >= 0) {
    const qsizetype next = at + open.size();
    if (next < html.size() && html[next] == u'>') {
      textStart = next + 1;
      break;
    }
    if (next < html.size() && isTagSpace(html[next])) {
      // Attributes run to the first ">"; without one no later tag can end either.
      const qsizetype end = html.indexOf(u'>', next);
      if (end < 0) return std::nullopt;
      textStart = end + 1;
      break;
    }
    at = next;
  }
  if (textStart < 0) return std::nullopt;
  for (at = textStart; (at = html.indexOf(close, at, Qt::CaseInsensitive)) >= 0;) {
    qsizetype end = at + close.size();
    while (end < html.size() && isTagSpace(html[end])) ++end;
    if (end < html.size() && html[end] == u'>')
      return QStringView(html).mid(textStart, at - textStart);
    at = end;
  }
  return std::nullopt;
}

bool isUtf8(const QString& contentType, const QByteArray& body) {
  static const QRegularExpression charset(QStringLiteral("charset\\s*=\\s*[\"']?\\s*utf-?8"),
                                          QRegularExpression::CaseInsensitiveOption);
  if (contentType.contains(QLatin1String("charset"), Qt::CaseInsensitive))
    return charset.match(contentType).hasMatch();
  // The declaration of the page itself, which must stand within its first 1024 bytes.
  return charset.match(QString::fromLatin1(body.left(1024))).hasMatch();
}

}  // namespace

QString url(const QString& itemHost, const QString& itemId) {
  return itemHost + QStringLiteral("/ws/eBayISAPI.dll?ViewItem&item=") +
         QString::fromLatin1(QUrl::toPercentEncoding(itemId));
}

QString decode(const QByteArray& body, const QString& contentType) {
  return isUtf8(contentType, body) ? QString::fromUtf8(body) : cp1252::decode(body);
}

QString highBidder(const QString& html) {
  // "Höchstbietender:</td><td>name</td>": the label, any tags and blanks, then the name.
  static const QRegularExpression bidder(
      QStringLiteral("H(?:ö|&ouml;|&#246;)chstbietender:\\s*(?:<[^>]*>\\s*)*([^<]*)"),
      QRegularExpression::CaseInsensitiveOption);
  const QString name = resolveReferences(bidder.match(html).captured(1)).simplified();
  // "(noch keine Gebote)" and the like name nobody.
  return name.startsWith(QLatin1Char('(')) ? QString() : name;
}

QString title(const QString& html) {
  const std::optional<QStringView> inner = titleElementText(html);
  if (!inner) return QString();
  // Browsers collapse the title's white space (blanks, tabs, line breaks) to single blanks,
  // those written as references too, so a title never spans lines (nor does its log line).
  static const QRegularExpression space(QStringLiteral("[ \\t\\n\\f\\r]+"));
  // Control and bidi characters, written as references or not, are dropped first.
  QString text = titlerules::plainText(resolveReferences(inner->toString()));
  return text.replace(space, QStringLiteral(" ")).trimmed();
}

Outcome judge(const Answer& answer, double now, const RegionalFormat& region) {
  Outcome o;
  o.itemId = answer.itemId;
  if (!answer.arrived || answer.status < 200 || answer.status > 299) return o;
  o.refusal = Refusal::NoAuction;
  if (!titlerules::isAuctionPage(answer.pageTitle)) return o;
  const titlerules::AuctionTitle a = titlerules::readAuctionTitle(answer.pageTitle);
  const std::optional<double> end = regional::parseDateTime(a.endText, region, now);
  if (!end) return o;
  if (dateserial::toLinearSeconds(*end) <= dateserial::toLinearSeconds(now)) {
    o.refusal = Refusal::Ended;
    return o;
  }
  o.refusal = Refusal::None;
  o.auktionTitel = a.auktionTitel;
  o.wholeTitle = a.wholeTitle;
  o.endet = *end;
  return o;
}

QString message(const QString& itemId, Refusal refusal) {
  QString why;
  switch (refusal) {
    case Refusal::None:
      return QString();
    case Refusal::NotLoaded:
      why = QStringLiteral("Die Artikelseite konnte nicht geladen werden.");
      break;
    case Refusal::NoAuction:
      why = QStringLiteral("Die Artikelseite zeigt keine Auktion.");
      break;
    case Refusal::Ended:
      why = QStringLiteral("Die Auktion ist bereits beendet.");
      break;
    case Refusal::Armed:
      why = QStringLiteral("Solange ein Gebot scharfgestellt ist, bleibt der Artikel.");
      break;
  }
  return QStringLiteral("Der Artikel %1 wurde nicht übernommen.\r\n").arg(itemId) + why;
}

QString logLine(const Answer& answer, Refusal refusal) {
  const QString head = QStringLiteral("Artikel übernehmen: ") + answer.itemId;
  switch (refusal) {
    case Refusal::None:
      return head + QStringLiteral(" von der Artikelseite übernommen");
    case Refusal::NotLoaded:
      return head + QStringLiteral(" nicht übernommen - Artikelseite nicht geladen (") +
             (answer.arrived ? QStringLiteral("HTTP %1").arg(answer.status) : answer.reason) +
             QLatin1Char(')');
    case Refusal::NoAuction:
      return head + QStringLiteral(" nicht übernommen - keine Auktion im Seitentitel: ") +
             answer.pageTitle.left(200);
    case Refusal::Ended:
      return head + QStringLiteral(" nicht übernommen - Auktion beendet");
    case Refusal::Armed:
      return head + QStringLiteral(" nicht übernommen - Gebot scharfgestellt");
  }
  return head;
}

}  // namespace itempage
