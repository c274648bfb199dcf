#include "ebay/consent.h"

#include <QRandomGenerator>
#include <QUrl>
#include <QUrlQuery>

namespace ebay::consent {

QString newState() {
  quint32 words[4];
  QRandomGenerator::system()->fillRange(words);
  const QByteArray bytes(reinterpret_cast<const char*>(words), sizeof words);
  return QString::fromLatin1(
      bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

Reading read(const QString& pasted, const QString& expectedState) {
  const QString text = pasted.trimmed();
  if (text.isEmpty())
    return {{},
            QStringLiteral("Bitte die Adresse einfügen, bei der der Browser nach der "
                           "Anmeldung angekommen ist, oder den Code.")};
  const qsizetype question = text.indexOf(QLatin1Char('?'));
  const bool isAddress = question >= 0 || text.contains(QLatin1String("code=")) ||
                         text.contains(QLatin1String("error="));
  if (!isAddress) {
    // The code alone: as it stands in the address (percent-encoded) or already decoded.
    const QString code =
        text.contains(QLatin1Char('%')) ? QUrl::fromPercentEncoding(text.toUtf8()) : text;
    if (code.contains(QLatin1Char(' ')))
      return {{}, QStringLiteral("Das ist weder eine Adresse noch ein Code von eBay.")};
    return {code, {}};
  }
  QString query = question >= 0 ? text.mid(question + 1) : text;
  query = query.section(QLatin1Char('#'), 0, 0);
  const QUrlQuery q(query);
  const auto value = [&q](const char* name) {
    return q.queryItemValue(QLatin1String(name), QUrl::FullyDecoded);
  };
  if (value("state") != expectedState)
    return {{},
            QStringLiteral("Die Adresse gehört nicht zu dieser Anmeldung. Bitte "
                           "„Anmelden“ noch einmal wählen.")};
  if (q.hasQueryItem(QStringLiteral("error")))
    return {{}, QStringLiteral("Die Zustimmung wurde auf der eBay-Seite abgelehnt.")};
  const QString code = value("code");
  if (code.isEmpty()) return {{}, QStringLiteral("In der Adresse steht kein Code von eBay.")};
  return {code, {}};
}

}  // namespace ebay::consent
