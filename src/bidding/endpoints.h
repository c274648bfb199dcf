#pragma once

#include <QString>
#include <QStringList>

// Base URLs ("scheme://host[:port]", no trailing slash) of the auction site's hosts and the
// vendor server. endpoints.ini in the program folder may override each one.
struct Endpoints {
  QString offerHost = QStringLiteral("http://offer.ebay.com");   // the bid's first request
  QString itemHost = QStringLiteral("http://cgi.ebay.com");      // its Referer
  QString offerHostDe = QStringLiteral("http://offer.ebay.de");  // the second request's Referer
  QString itemHostDe = QStringLiteral("http://cgi.ebay.de");     // item pages in the browser
  QString timeHost = QStringLiteral("http://cgi3.ebay.de");      // the official time page
  QString vendorServer = QStringLiteral("http://www.rotbart-ebay-tools.de");  // updates

  // Reads "<folder>/endpoints.ini", section [Endpoints], keys OfferHost, ItemHost, OfferHostDe,
  // ItemHostDe, TimeHost, VendorServer. A value that is no base URL is ignored and named in
  // `problems`; the built-in one stays.
  static Endpoints load(const QString& programFolder, QStringList* problems = nullptr);
};
