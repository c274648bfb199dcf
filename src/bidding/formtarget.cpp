#include "bidding/formtarget.h"

namespace formtarget {
namespace {
int portOf(const QUrl& url) {
  const QString scheme = url.scheme();
  return url.port(scheme == QLatin1String("https")  ? 443
                  : scheme == QLatin1String("http") ? 80
                                                    : -1);
}

bool sameOrigin(const QUrl& a, const QUrl& b) {
  return !a.host().isEmpty() && a.scheme() == b.scheme() && a.host() == b.host() &&
         portOf(a) == portOf(b) && portOf(a) > 0;
}
}  // namespace

QUrl resolve(const QString& pageUrl, const QString& action) {
  return QUrl(pageUrl).resolved(QUrl(action.trimmed()));
}

bool isAuctionHost(const Endpoints& e, const QUrl& url) {
  if (!url.isValid() || !url.userInfo().isEmpty()) return false;
  for (const QString* host :
       {&e.offerHost, &e.itemHost, &e.offerHostDe, &e.itemHostDe, &e.timeHost})
    if (sameOrigin(url, QUrl(*host))) return true;
  return false;
}

QString origin(const QUrl& url, const QString& asWritten) {
  if (!url.isValid() || url.host().isEmpty()) return asWritten;
  return url.scheme() + QStringLiteral("://") + url.host(QUrl::FullyEncoded) + QChar(':') +
         QString::number(portOf(url));
}

}  // namespace formtarget
