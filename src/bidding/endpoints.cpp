#include "bidding/endpoints.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QUrl>

#include "app/inifile.h"

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

QString endpointsPath(const QString& programFolder) {
  return programFolder + QStringLiteral("/endpoints.ini");
}
}  // namespace

Endpoints Endpoints::load(const QString& programFolder, QStringList* problems) {
  Endpoints e;
  QStringList unread;
  const QString path = endpointsPath(programFolder);
  if (!QFileInfo::exists(path)) return e;
  QFile file(path);
  const bool opened = file.open(QIODevice::ReadOnly);
  const QByteArray text = opened ? file.readAll() : QByteArray();
  const bool readable = opened && file.error() == QFileDevice::NoError;
  if (readable) {
    for (const int line : inifile::unreadableLines(text))
      unread.append(QStringLiteral("Zeile %1").arg(line));
  }
  // The line of each key (the last one counts, as for the settings), and the names the file
  // mentions in another section than [Endpoints] (a section line that lost its "]" and the like).
  QHash<QString, QByteArray> lines;
  QSet<QString> elsewhere;
  for (const inifile::Entry& entry : inifile::scan(text)) {
    if (entry.key.startsWith(QStringLiteral("Endpoints/")))
      lines.insert(entry.key.mid(10), entry.line);
    else
      elsewhere.insert(entry.key.section(QLatin1Char('/'), -1));
  }
  // A key the file names but whose value cannot be read: the file could not be, or the key
  // stands outside [Endpoints].
  const auto lost = [&](const QString& key) {
    return !readable || (!lines.contains(key) && elsewhere.contains(key));
  };
  // The value of a key from its own line.
  const auto valueOf = [&](const QString& key) {
    if (lost(key)) return QString();
    const QVariant v = inifile::lineValue(lines.value(key));
    return v.typeId() == QMetaType::QStringList ? v.toStringList().join(QLatin1Char(','))
                                                : v.toString();
  };
  const struct {
    const char* key;
    QString* target;
  } keys[] = {{"OfferHost", &e.offerHost},     {"ItemHost", &e.itemHost},
              {"OfferHostDe", &e.offerHostDe}, {"ItemHostDe", &e.itemHostDe},
              {"TimeHost", &e.timeHost},       {"VendorServer", &e.vendorServer},
              {"EbayApiHost", &e.ebayApiHost}, {"EbayAuthHost", &e.ebayAuthHost}};
  for (const auto& k : keys) {
    const QString key = QString::fromLatin1(k.key);
    if (!lost(key) && !lines.contains(key)) continue;  // not named: the built-in host
    QString host = valueOf(key);
    if (!lost(key) && normaliseBaseUrl(host)) {
      *k.target = host;
      if (k.target == &e.offerHost) e.classicSiteNamed = true;
    } else {
      k.target->clear();  // no host: nothing goes there
      unread.append(key);
    }
  }
  const QString keyName = QStringLiteral("VendorKey");
  if (lost(keyName) || lines.contains(keyName)) {
    const auto key = QByteArray::fromBase64Encoding(valueOf(keyName).trimmed().toLatin1(),
                                                    QByteArray::AbortOnBase64DecodingErrors);
    if (!lost(keyName) && key && key.decoded.size() == kVendorKeyBytes)
      e.vendorKey = key.decoded;
    else
      unread.append(keyName);
  }
  if (problems) *problems = unread;
  return e;
}

QString Endpoints::unreadableNotice(const QString& programFolder, const QStringList& problems) {
  return QStringLiteral("Die Datei '") + endpointsPath(programFolder) +
         QStringLiteral("' ist fehlerhaft. Nicht gelesen werden konnten: ") +
         problems.join(QStringLiteral(", ")) +
         QStringLiteral(
             ".\r\nStatt ihrer gelten nicht die eingebauten Werte: Gebote, Anmeldedaten und "
             "Updates gehen an keinen anderen Server.");
}
