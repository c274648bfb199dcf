#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

#include "ebay/account.h"

class Clock;

// eBay's sign-in: the application token for Browse (client credentials, cached until it
// expires), the consent page, the exchange of the code the user brings back, and the renewal
// of the user token from the refresh token. Tokens go into the account in memory; keeping the
// refresh token is the caller's (accountstore::saveSignIn).
namespace ebay {
class Transport;

class OAuthClient {
 public:
  OAuthClient(Account& account, Hosts hosts, Clock& clock, Transport& transport);

  // `token` empty and `failure` set (in German) when none could be had.
  using TokenDone = std::function<void(const QString& token, const QString& failure)>;
  using Done = std::function<void(bool ok, const QString& failure)>;

  // The application token while it is usable, else a new one.
  void applicationToken(QObject* context, TokenDone done);
  // The user token while it is usable, else one renewed from the refresh token.
  void userToken(QObject* context, TokenDone done);
  // A new user token from the refresh token now. A refresh token eBay refuses is forgotten.
  void renewUserToken(QObject* context, Done done);

  // The consent page of a new sign-in; its state is kept in the account.
  QUrl consentPage();
  // Takes the pasted final address (or the code) back and exchanges the code for tokens.
  void completeSignIn(const QString& pasted, QObject* context, Done done);

  const Hosts& hosts() const { return m_hosts; }
  // Runs when eBay refuses the refresh token (invalid_grant), after it is forgotten in memory:
  // the place it is kept must forget it too.
  void onRefreshRefused(std::function<void()> refused) { m_refreshRefused = std::move(refused); }

 private:
  Account& m_account;
  Hosts m_hosts;
  Clock& m_clock;
  Transport& m_transport;
  std::function<void()> m_refreshRefused;
};

}  // namespace ebay
