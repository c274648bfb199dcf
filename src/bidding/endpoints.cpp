#include "bidding/endpoints.h"

#include <QFileInfo>
#include <QSettings>
#include <QUrl>

namespace {
const qsizetype kVendorKeyBytes = 32;  // an Ed25519 public key

// Accepts "http(s)://host[:port]" with an optional trailing slash, nothing else.
bool normaliseBaseUrl(QString& value) {
  QString v = value.trimmed();
  while (v.endsWith(QChar('/'))) v.chop(1);
  const QUrl url(v, QUrl::StrictMode);
  if (!url.isValid() || url.host().isEmpty()) return false;
  if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) return false;
  if (!url.path().isEmpty() || url.hasQuery() || url.hasFragment() || !url.userInfo().isEmpty())
    return false;
  value = v;
  return true;
}
}  // namespace

Endpoints Endpoints::load(const QString& programFolder, QStringList* problems) {
  Endpoints e;
  const QString path = programFolder + QStringLiteral("/endpoints.ini");
  if (!QFileInfo::exists(path)) return e;
  QSettings ini(path, QSettings::IniFormat);
  ini.beginGroup(QStringLiteral("Endpoints"));
  const struct {
    const char* key;
    QString* target;
  } keys[] = {{"OfferHost", &e.offerHost},     {"ItemHost", &e.itemHost},
              {"OfferHostDe", &e.offerHostDe}, {"ItemHostDe", &e.itemHostDe},
              {"TimeHost", &e.timeHost},       {"VendorServer", &e.vendorServer},
              {"EbayApiHost", &e.ebayApiHost}, {"EbayAuthHost", &e.ebayAuthHost}};
  for (const auto& k : keys) {
    const QString key = QString::fromLatin1(k.key);
    if (!ini.contains(key)) continue;
    QString value = ini.value(key).toString();
    if (normaliseBaseUrl(value)) {
      *k.target = value;
      if (k.target == &e.offerHost) e.classicSiteNamed = true;
    } else if (problems) {
      problems->append(key + QStringLiteral("=") + ini.value(key).toString() +
                       QStringLiteral(" (expected scheme://host[:port])"));
    }
  }
  const QString keyName = QStringLiteral("VendorKey");
  if (ini.contains(keyName)) {
    const QString text = ini.value(keyName).toString();
    const auto key = QByteArray::fromBase64Encoding(text.trimmed().toLatin1(),
                                                    QByteArray::AbortOnBase64DecodingErrors);
    if (key && key.decoded.size() == kVendorKeyBytes) {
      e.vendorKey = key.decoded;
    } else if (problems) {
      problems->append(keyName + QStringLiteral("=") + text +
                       QStringLiteral(" (expected a 32-byte public key in base64)"));
    }
  }
  return e;
}
