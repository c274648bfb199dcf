#include "ebay/oauthclient.h"

#include "ebay/answers.h"
#include "ebay/consent.h"
#include "ebay/requests.h"
#include "ebay/tokentiming.h"
#include "ebay/transport.h"
#include "platform/clock.h"

namespace ebay {
namespace {

// Why the token endpoint gave no token, in German.
QString failureText(const ApiReply& reply, const TokenAnswer& answer, bool renewing) {
  if (reply.status == 0)
    return QStringLiteral("Keine Verbindung zu eBay (") + reply.networkError + QLatin1Char(')');
  if (answer.error == QLatin1String("invalid_client"))
    return QStringLiteral("eBay kennt dieses Keyset nicht: App ID oder Cert ID ist falsch.");
  if (answer.error == QLatin1String("invalid_grant"))
    return renewing ? QStringLiteral(
                          "Die Anmeldung ist abgelaufen oder wurde bei eBay "
                          "widerrufen. Bitte erneut anmelden.")
                    : QStringLiteral(
                          "eBay nimmt den Code nicht an (abgelaufen, schon benutzt "
                          "oder zu einem anderen Keyset). Bitte erneut anmelden.");
  if (answer.error == QLatin1String("invalid_scope"))
    return QStringLiteral(
        "Das Keyset darf die nötigen Rechte nicht anfordern "
        "(invalid_scope).");
  if (reply.status == 429 || reply.status >= 500)
    return QStringLiteral(
               "eBay ist gerade nicht erreichbar (HTTP %1). Bitte später erneut "
               "versuchen.")
        .arg(reply.status);
  return QStringLiteral("eBay hat die Anmeldung abgelehnt (%1, HTTP %2).")
      .arg(answer.error.isEmpty() ? QStringLiteral("unbekannte Antwort") : answer.error)
      .arg(reply.status);
}

}  // namespace

OAuthClient::OAuthClient(Account& account, Hosts hosts, Clock& clock, Transport& transport)
    : m_account(account), m_hosts(std::move(hosts)), m_clock(clock), m_transport(transport) {}

void OAuthClient::applicationToken(QObject* context, TokenDone done) {
  const qint64 start = m_clock.localMs();
  if (tokentiming::usable(start, m_account.applicationToken.expiresAtMs))
    return done(m_account.applicationToken.value, {});
  if (!m_account.keyset.complete())
    return done({}, QStringLiteral("Das eBay-Keyset ist nicht vollständig eingetragen."));
  m_transport.send(
      requests::applicationToken(m_hosts, m_account.keyset), context,
      [this, start, done](const ApiReply& reply) {
        const TokenAnswer answer = answers::token(reply.body);
        if (reply.status != 200 || !answer.ok()) return done({}, failureText(reply, answer, false));
        m_account.applicationToken = {answer.accessToken, start + answer.expiresInS * 1000};
        done(answer.accessToken, {});
      });
}

void OAuthClient::userToken(QObject* context, TokenDone done) {
  if (tokentiming::usable(m_clock.localMs(), m_account.userToken.expiresAtMs))
    return done(m_account.userToken.value, {});
  renewUserToken(context, [this, done](bool ok, const QString& failure) {
    done(ok ? m_account.userToken.value : QString(), failure);
  });
}

void OAuthClient::renewUserToken(QObject* context, Done done) {
  const qint64 start = m_clock.localMs();
  if (!m_account.signedIn(start)) return done(false, QStringLiteral("Nicht bei eBay angemeldet."));
  m_transport.send(
      requests::refreshUserToken(m_hosts, m_account.keyset, m_account.refreshToken.value), context,
      [this, start, done](const ApiReply& reply) {
        const TokenAnswer answer = answers::token(reply.body);
        if (reply.status != 200 || !answer.ok()) {
          const QString failure = failureText(reply, answer, true);
          if (answer.error == QLatin1String("invalid_grant")) {
            m_account.refreshToken = {};
            m_account.lastFailure = failure;
            if (m_refreshRefused) m_refreshRefused();
          }
          return done(false, failure);
        }
        m_account.userToken = {answer.accessToken, start + answer.expiresInS * 1000};
        done(true, {});
      });
}

QUrl OAuthClient::consentPage() {
  m_account.pendingState = consent::newState();
  return requests::consentPage(m_hosts, m_account.keyset, m_account.pendingState);
}

void OAuthClient::completeSignIn(const QString& pasted, QObject* context, Done done) {
  const consent::Reading reading = consent::read(pasted, m_account.pendingState);
  if (!reading.error.isEmpty()) {
    m_account.lastFailure = reading.error;
    return done(false, reading.error);
  }
  const qint64 start = m_clock.localMs();
  m_transport.send(
      requests::exchangeCode(m_hosts, m_account.keyset, reading.code), context,
      [this, start, done](const ApiReply& reply) {
        const TokenAnswer answer = answers::token(reply.body);
        if (reply.status != 200 || !answer.ok() || answer.refreshToken.isEmpty() ||
            answer.refreshExpiresInS <= 0) {
          m_account.lastFailure = failureText(reply, answer, false);
          return done(false, m_account.lastFailure);
        }
        m_account.pendingState.clear();
        m_account.lastFailure.clear();
        m_account.userToken = {answer.accessToken, start + answer.expiresInS * 1000};
        m_account.refreshToken = {answer.refreshToken, start + answer.refreshExpiresInS * 1000};
        done(true, {});
      });
}

}  // namespace ebay
