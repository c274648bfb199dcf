#pragma once

#include <QString>
#include <QUrl>

#include "bidding/endpoints.h"

// Where the bid form may send the account: the form's target address, resolved against the page
// it came from, must name one of the auction site's hosts the program is configured for.
namespace formtarget {

// The form's target address as an absolute URL: a relative one resolved against the page's URL.
QUrl resolve(const QString& pageUrl, const QString& action);

// Whether the URL is on one of the auction site's hosts (offer, item and time hosts, German and
// international): the same scheme, host and port (the scheme's default port when none is
// written), and no user name or password in the address.
bool isAuctionHost(const Endpoints& endpoints, const QUrl& url);

// "scheme://host:port" of a URL, for the log; the raw text when it is no URL with a host.
QString origin(const QUrl& url, const QString& asWritten);

}  // namespace formtarget
