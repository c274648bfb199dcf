#include "ebay/answers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "ebay/ebaytime.h"

namespace ebay {
namespace {

// Reads an answer's fields; any field present with the wrong type marks it bad.
class Reader {
 public:
  explicit Reader(QJsonObject o) : m_o(std::move(o)) {}
  bool bad() const { return m_bad; }

  QString text(const char* key) {
    const QJsonValue v = m_o.value(QLatin1String(key));
    if (v.isUndefined()) return {};
    if (!v.isString()) m_bad = true;
    return v.toString();
  }
  bool flag(const char* key) {
    const QJsonValue v = m_o.value(QLatin1String(key));
    if (!v.isUndefined() && !v.isBool()) m_bad = true;
    return v.toBool();
  }
  qint64 integer(const char* key) {
    const QJsonValue v = m_o.value(QLatin1String(key));
    if (v.isUndefined()) return 0;
    const double d = v.toDouble(-1);
    if (!v.isDouble() || d < 0 || d != double(qint64(d)) || d > 9e15) m_bad = true;
    return v.toInteger();
  }
  std::optional<Money> money(const char* key) {
    const QJsonValue v = m_o.value(QLatin1String(key));
    if (v.isUndefined()) return std::nullopt;
    const QJsonObject o = v.toObject();
    const QJsonValue value = o.value(QLatin1String("value"));
    const QJsonValue currency = o.value(QLatin1String("currency"));
    // eBay writes amounts as strings; a number would already have been through a double.
    if (!v.isObject() || !value.isString() || !currency.isString() ||
        !isDecimal(value.toString()) || currency.toString().size() != 3) {
      m_bad = true;
      return std::nullopt;
    }
    return Money{currency.toString(), value.toString()};
  }
  std::optional<QDateTime> time(const char* key) {
    const QString t = text(key);
    if (t.isEmpty()) return std::nullopt;
    auto parsed = parseUtc(t);
    if (!parsed) m_bad = true;
    return parsed;
  }
  QStringList texts(const char* key) {
    const QJsonValue v = m_o.value(QLatin1String(key));
    QStringList out;
    if (v.isUndefined()) return out;
    if (!v.isArray()) m_bad = true;
    for (const QJsonValue& e : v.toArray()) {
      if (!e.isString()) m_bad = true;
      out << e.toString();
    }
    return out;
  }

 private:
  QJsonObject m_o;
  bool m_bad = false;
};

std::optional<QJsonObject> object(const QByteArray& json) {
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
  if (error.error != QJsonParseError::NoError || !doc.isObject()) return std::nullopt;
  return doc.object();
}
}  // namespace

QString ItemData::currency() const {
  if (minimumPriceToBid) return minimumPriceToBid->currency;
  if (currentBidPrice) return currentBidPrice->currency;
  return price ? price->currency : QString();
}

namespace answers {

std::optional<ItemData> item(const QByteArray& json) {
  const auto o = object(json);
  if (!o) return std::nullopt;
  Reader r(*o);
  ItemData d;
  d.itemId = r.text("itemId");
  d.legacyItemId = r.text("legacyItemId");
  d.title = r.text("title");
  d.itemWebUrl = r.text("itemWebUrl");
  d.buyingOptions = r.texts("buyingOptions");
  d.adultOnly = r.flag("adultOnly");
  d.endUtc = r.time("itemEndDate");
  d.currentBidPrice = r.money("currentBidPrice");
  d.minimumPriceToBid = r.money("minimumPriceToBid");
  d.price = r.money("price");
  d.bidCount = int(r.integer("bidCount"));
  if (r.bad() || d.itemId.isEmpty()) return std::nullopt;
  return d;
}

std::optional<Bidding> bidding(const QByteArray& json) {
  const auto o = object(json);
  if (!o) return std::nullopt;
  Reader r(*o);
  Bidding b;
  b.itemId = r.text("itemId");
  b.auctionStatus = r.text("auctionStatus");
  b.highBidder = r.flag("highBidder");
  b.currentPrice = r.money("currentPrice");
  b.bidCount = int(r.integer("bidCount"));
  b.endUtc = r.time("auctionEndDate");
  const QJsonObject proxy = o->value(QLatin1String("currentProxyBid")).toObject();
  b.maxAmount = Reader(proxy).money("maxAmount");
  if (r.bad() || b.auctionStatus.isEmpty()) return std::nullopt;
  return b;
}

std::optional<QString> proxyBidId(const QByteArray& json) {
  const auto o = object(json);
  if (!o) return std::nullopt;
  Reader r(*o);
  const QString id = r.text("proxyBidId");
  if (r.bad()) return std::nullopt;
  return id;
}

QList<ApiError> errors(const QByteArray& json) {
  QList<ApiError> out;
  const auto o = object(json);
  if (!o) return out;
  for (const QJsonValue& v : o->value(QLatin1String("errors")).toArray()) {
    const QJsonObject e = v.toObject();
    out.append({e.value(QLatin1String("errorId")).toInt(),
                e.value(QLatin1String("domain")).toString(),
                e.value(QLatin1String("category")).toString(),
                e.value(QLatin1String("message")).toString()});
  }
  return out;
}

TokenAnswer token(const QByteArray& json) {
  TokenAnswer t;
  const auto o = object(json);
  if (!o) {
    t.error = QStringLiteral("invalid_response");
    return t;
  }
  Reader r(*o);
  t.accessToken = r.text("access_token");
  t.expiresInS = r.integer("expires_in");
  t.refreshToken = r.text("refresh_token");
  t.refreshExpiresInS = r.integer("refresh_token_expires_in");
  t.error = r.text("error");
  t.errorDescription = r.text("error_description");
  if (r.bad() || (t.error.isEmpty() && (t.accessToken.isEmpty() || t.expiresInS <= 0)))
    t.error = QStringLiteral("invalid_response");
  return t;
}

}  // namespace answers
}  // namespace ebay
