#pragma once

#include <QString>
#include <QUrl>

// Which way a bid goes: through eBay's Offer API with the user's own keyset and sign-in, or
// the classic bid form, which goes only to a site that endpoints.ini names (eBay's own web
// site forbids automated bids).
namespace ebay::route {

enum class Route { Api, Classic, None };

struct Situation {
  bool keysetComplete = false;    // App ID, Cert ID and RuName are set up
  bool signedIn = false;          // a refresh token that has not expired
  bool classicSiteNamed = false;  // endpoints.ini names the bid form's host (OfferHost)
};

struct Choice {
  Route route = Route::None;
  QString message;  // Route::None: the one message that says what to set up
};

Choice choose(const Situation& situation);

// The account's password may go to this address: over https, or to this computer.
bool passwordMayGoTo(const QUrl& url);

}  // namespace ebay::route
