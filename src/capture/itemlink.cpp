#include "capture/itemlink.h"

#include <QUrl>
#include <QUrlQuery>

namespace itemlink {
namespace {

bool isAsciiNumber(const QString& text, int shortest) {
  if (text.size() < shortest || text.size() > kLongestNumber) return false;
  for (QChar c : text)
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
  return true;
}

// "?ViewItem&item=NUMBER": the command is a bare word anywhere in the query.
QString numberOfViewItemQuery(const QUrl& url) {
  const QStringList pieces = url.query(QUrl::FullyEncoded).split(QLatin1Char('&'));
  const bool viewItem = std::any_of(pieces.begin(), pieces.end(), [](const QString& p) {
    return p.compare(QLatin1String("ViewItem"), Qt::CaseInsensitive) == 0;
  });
  if (!viewItem) return QString();
  const QString item = QUrlQuery(url).queryItemValue(QStringLiteral("item"));
  return isAsciiNumber(item, 1) ? item : QString();
}

// "/itm/NUMBER" or "/itm/words/NUMBER", a slash at the end allowed.
QString numberOfItmPath(const QUrl& url) {
  QStringList segments = url.path(QUrl::FullyEncoded).split(QLatin1Char('/'));
  if (segments.size() > 1 && segments.last().isEmpty()) segments.removeLast();
  if (segments.size() < 3 || segments.size() > 4 || !segments[0].isEmpty()) return QString();
  if (segments[1].compare(QLatin1String("itm"), Qt::CaseInsensitive) != 0) return QString();
  if (segments.size() == 4 && segments[2].isEmpty()) return QString();
  return isAsciiNumber(segments.last(), 1) ? segments.last() : QString();
}

}  // namespace

QString itemNumber(const QString& text) {
  if (text.size() > kLongestText) return QString();
  const QString t = text.trimmed();
  if (isAsciiNumber(t, kShortestBareNumber)) return t;
  if (t.contains(QLatin1Char(' ')) || t.contains(QLatin1Char('\n'))) return QString();
  const QUrl url(t, QUrl::StrictMode);
  if (!url.isValid() || url.host().isEmpty()) return QString();
  const QString scheme = url.scheme().toLower();
  if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return QString();
  const QString fromQuery = numberOfViewItemQuery(url);
  return fromQuery.isEmpty() ? numberOfItmPath(url) : fromQuery;
}

QString firstItemNumber(const QStringList& texts) {
  for (const QString& text : texts) {
    const QString number = itemNumber(text);
    if (!number.isEmpty()) return number;
  }
  return QString();
}

}  // namespace itemlink
