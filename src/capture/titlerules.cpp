#include "capture/titlerules.h"

#include <QList>
#include <QStringList>
#include <limits>

#include "app/version.h"
#include "capture/itemlink.h"

namespace titlerules {
namespace {

char32_t foldAscii(char32_t c) {
  return (c >= U'A' && c <= U'Z') ? c + (U'a' - U'A') : c;
}

bool sameChar(char32_t a, char32_t b, Qt::CaseSensitivity cs) {
  return cs == Qt::CaseSensitive ? a == b : foldAscii(a) == foldAscii(b);
}

// The whole run of ASCII digits at the 1-based position, when it is as long as an item number
// can be (as for a copied link); empty otherwise. A number cut to a fixed length would name
// another auction.
QString itemNumberAt(const QString& text, int start) {
  if (start < 1) return QString();
  const QList<uint> t = text.toUcs4();
  qsizetype end = start - 1;
  while (end < t.size() && t[end] >= U'0' && t[end] <= U'9') ++end;
  const qsizetype digits = end - (start - 1);
  if (digits < itemlink::kShortestBareNumber || digits > itemlink::kLongestNumber) return QString();
  return mid(text, start, static_cast<int>(digits));
}

// A browser writes its own name after the page's title: "... - Chromium", "... — Mozilla
// Firefox".
QString withoutBrowserName(const QString& title) {
  static const QStringList browsers =
      QStringLiteral(
          "Mozilla Firefox|Mozilla Firefox Private Browsing|Chromium|Google Chrome|"
          "Microsoft Edge|Microsoft\u200b Edge|Opera|Vivaldi|Brave|Falkon|Konqueror")
          .split(QChar(u'|'));
  for (const QString& browser : browsers)
    for (const QString& dash : {QStringLiteral(" - "), QStringLiteral(" \u2014 ")})
      if (title.endsWith(dash + browser))
        return title.left(title.size() - dash.size() - browser.size());
  return title;
}

}  // namespace

int position(const QString& text, const QString& needle, Qt::CaseSensitivity cs) {
  const QList<uint> t = text.toUcs4();
  const QList<uint> n = needle.toUcs4();
  if (n.isEmpty()) return t.isEmpty() ? 0 : 1;
  for (qsizetype i = 0; i + n.size() <= t.size(); ++i) {
    qsizetype k = 0;
    while (k < n.size() && sameChar(t[i + k], n[k], cs)) ++k;
    if (k == n.size()) return static_cast<int>(i + 1);
  }
  return 0;
}

QString mid(const QString& text, int start, int length) {
  if (start < 1 || length <= 0) return QString();
  const QList<uint> t = text.toUcs4();
  if (start > t.size()) return QString();
  const qsizetype from = start - 1;
  const qsizetype count = qMin<qsizetype>(length, t.size() - from);
  return QString::fromUcs4(reinterpret_cast<const char32_t*>(t.constData() + from), count);
}

QString plainText(const QString& title) {
  QString plain;
  plain.reserve(title.size());
  for (const QChar c : title) {
    const char16_t u = c.unicode();
    const bool lineOrTab = (u >= 0x09 && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
    const bool control = u < 0x20 || (u >= 0x7F && u <= 0x9F);
    // LRE, RLE, PDF, LRO, RLO; LRI, RLI, FSI, PDI.
    const bool bidi = (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
    if (lineOrTab)
      plain.append(QChar(u' '));
    else if (!control && !bidi)
      plain.append(c);
  }
  return plain;
}

QString windowText(const QString& title) {
  const qsizetype nul = title.indexOf(QChar(u'\0'));
  return plainText(nul < 0 ? title : title.left(nul));
}

bool isProgramWindow(const QString& title) {
  return position(title, QStringLiteral("Gebotsfalke"), Qt::CaseSensitive) > 0;
}

bool isAuctionPage(const QString& title) {
  return position(title, QStringLiteral("(endet ")) > 0 &&
         position(title, QStringLiteral("eBay")) > 0;
}

bool isSavedItemOption(const QString& commandLine) {
  return commandLine == QLatin1String("-bay");
}

AuctionTitle readAuctionTitle(const QString& title) {
  AuctionTitle a;
  const int titleStart = position(title, QStringLiteral(") -")) + 4;
  a.auktionTitel = mid(title, titleStart, 38);
  a.wholeTitle = withoutBrowserName(mid(title, titleStart, std::numeric_limits<int>::max()));
  a.itemId = itemNumberAt(title, position(title, QStringLiteral("eBay")) + 13);
  a.endText = mid(title, position(title, QStringLiteral("(endet ")) + 7, 17);
  return a;
}

QString idleCaption() {
  return QStringLiteral(" GebotsfalkePlus ") + version::full();
}

QString itemCaption(const QString& auktionTitel) {
  return auktionTitel + QStringLiteral(" Gebotsfalke");
}

QString itemSummary(const QString& itemId, const QString& wholeTitle, const QString& bidAmount) {
  if (itemId.isEmpty()) return QString();
  QStringList lines{QStringLiteral("Artikel ") + itemId};
  if (!wholeTitle.isEmpty()) lines.append(wholeTitle);
  if (!bidAmount.isEmpty()) lines.append(QStringLiteral("Ihr Gebot: ") + bidAmount);
  return lines.join(QChar(u'\n'));
}

QString noItemHint() {
  // Both ways to an item: its page open in a browser, or its link copied.
  return QStringList{
      QStringLiteral("Öffnen Sie den Artikel"), QStringLiteral("im Web-Browser oder"),
      QStringLiteral("kopieren Sie den Link"),  QStringLiteral("zur Artikelseite und"),
      QStringLiteral("klicken Sie auf"),        QStringLiteral("'Artikel übernehmen'")}
      .join(QStringLiteral("\r\n"));
}

}  // namespace titlerules
