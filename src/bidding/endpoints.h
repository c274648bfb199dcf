#pragma once

#include <QByteArray>
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
  // eBay's API and sign-in hosts instead of eBay's own (the simulator); empty: eBay's.
  QString ebayApiHost;
  QString ebayAuthHost;
  // endpoints.ini names the bid form's host (OfferHost): only then may the classic bid go out.
  bool classicSiteNamed = false;
  // One further key (32 bytes) whose signature an update may carry besides the vendor's own;
  // empty: none.
  QByteArray vendorKey;

  // Reads "<folder>/endpoints.ini", section [Endpoints], keys OfferHost, ItemHost, OfferHostDe,
  // ItemHostDe, TimeHost, VendorServer, EbayApiHost, EbayAuthHost and VendorKey (an Ed25519 public
  // key in base64); a key the file does not name keeps its built-in value. Every line is read on
  // its own, so that a stray character (a lone '"') cannot take the keys after it along. What
  // cannot be read is named in `problems`: a key whose value is no base URL (no such key), written
  // outside [Endpoints], or in a file that cannot be opened (then every key); a line that is no
  // "key=value" as "Zeile N". Such a key gets no value at all, never the built-in one: the
  // account must not go to eBay's own host because the host configured for it was lost.
  static Endpoints load(const QString& programFolder, QStringList* problems = nullptr);

  // The one message that names what load() could not read.
  static QString unreadableNotice(const QString& programFolder, const QStringList& problems);
};
