#pragma once

#include <QString>
#include <QtGlobal>

struct Endpoints;

// The user's own eBay keyset and sign-in. Times are the program's clock (Clock::localMs()).
namespace ebay {

enum class Environment { Sandbox, Production };

// The API and sign-in hosts ("https://host[:port]") of an environment.
struct Hosts {
  QString api;
  QString auth;
};
// eBay's own hosts, or those endpoints.ini names (EbayApiHost, EbayAuthHost) instead.
Hosts hostsFor(Environment environment, const Endpoints& endpoints);

inline const QString kDefaultMarketplace = QStringLiteral("EBAY_DE");

struct Keyset {
  QString appId;   // client_id
  QString certId;  // client_secret: never in the settings
  QString ruName;  // the redirect_uri of the sign-in
  Environment environment = Environment::Sandbox;
  QString marketplace = kDefaultMarketplace;
  bool complete() const { return !appId.isEmpty() && !certId.isEmpty() && !ruName.isEmpty(); }
};

struct Token {
  QString value;
  qint64 expiresAtMs = 0;
  bool validAt(qint64 nowMs) const { return !value.isEmpty() && nowMs < expiresAtMs; }
};

// What the program knows of the user's eBay access in this run. The access tokens live here
// only; the refresh token and the Cert ID are kept where the user chose (ebay/secrets.h).
struct Account {
  bool loaded = false;  // keyset and secrets read in this run
  Keyset keyset;
  Token applicationToken;  // Browse
  Token userToken;         // Offer
  Token refreshToken;      // renews userToken
  QString pendingState;    // the state of the consent page opened last
  QString lastFailure;     // why the last sign-in failed, for the dialog

  bool signedIn(qint64 nowMs) const { return refreshToken.validAt(nowMs); }
  // Forgets every token (signing out, another keyset).
  void forgetTokens();
};

// The sign-in as the eBay-Zugang dialog shows it: "Angemeldet, gültig bis 06.06.2027 14:03",
// "Nicht angemeldet", or that with the reason the last sign-in failed.
QString signInText(const Account& account, qint64 nowMs);

}  // namespace ebay
