#include "ebay/browseclient.h"

#include "ebay/oauthclient.h"
#include "ebay/requests.h"
#include "ebay/transport.h"

namespace ebay {
namespace {
QString failureText(const ApiReply& reply, const QString& id) {
  if (reply.status == 0)
    return QStringLiteral("Keine Verbindung zu eBay (") + reply.networkError + QLatin1Char(')');
  const QList<ApiError> errors = answers::errors(reply.body);
  const int errorId = errors.isEmpty() ? 0 : errors.first().errorId;
  if (errorId == 11001 || errorId == 11003 || errorId == 11006)
    return QStringLiteral("eBay kennt den Artikel %1 nicht.").arg(id);
  if (errorId == 11004) return QStringLiteral("Der Artikel ist bei eBay zurzeit nicht abrufbar.");
  if (errorId == 11011)
    return QStringLiteral("Der eingestellte eBay-Marktplatz wird nicht unterstützt.");
  if (reply.status == 401 || reply.status == 403)
    return QStringLiteral("eBay lässt das Keyset keine Artikeldaten lesen (HTTP %1).")
        .arg(reply.status);
  if (reply.status == 429)
    return QStringLiteral("Zu viele Anfragen an eBay (Tageslimit der Artikeldaten erreicht?).");
  if (reply.status >= 500)
    return QStringLiteral("eBay ist gerade nicht erreichbar (HTTP %1).").arg(reply.status);
  return QStringLiteral("eBay hat die Artikeldaten nicht geliefert (HTTP %1).").arg(reply.status);
}
}  // namespace

BrowseClient::BrowseClient(OAuthClient& oauth, Transport& transport, Account& account)
    : m_oauth(oauth), m_transport(transport), m_account(account) {}

void BrowseClient::item(const QString& legacyItemId, QObject* context, Done done) {
  call(true, legacyItemId, context, std::move(done), false);
}

void BrowseClient::refresh(const QString& itemId, QObject* context, Done done) {
  call(false, itemId, context, std::move(done), false);
}

void BrowseClient::call(bool legacy, const QString& id, QObject* context, Done done, bool retried) {
  m_oauth.applicationToken(context, [=, this](const QString& token, const QString& failure) {
    if (token.isEmpty()) return done({std::nullopt, 0, failure});
    const Hosts& hosts = m_oauth.hosts();
    const ApiRequest request = legacy ? requests::itemByLegacyId(hosts, m_account.keyset, token, id)
                                      : requests::itemCompact(hosts, m_account.keyset, token, id);
    m_transport.send(request, context, [=, this](const ApiReply& reply) {
      if (reply.status == 401 && !retried) {
        m_account.applicationToken = {};  // refused after all: a new one, once
        return call(legacy, id, context, done, true);
      }
      if (reply.status != 200) return done({std::nullopt, reply.status, failureText(reply, id)});
      auto item = answers::item(reply.body);
      if (!item)
        return done({std::nullopt, reply.status,
                     QStringLiteral("Die Artikeldaten von eBay sind nicht lesbar.")});
      done({std::move(item), reply.status, {}});
    });
  });
}

}  // namespace ebay
