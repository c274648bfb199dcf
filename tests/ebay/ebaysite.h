#pragma once

// The simulator as eBay's API with the one keyset it knows, the user's part of the consent
// page, and the files that hold a secret: shared by the eBay-Zugang and main window tests.
#include <QDirIterator>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>
#include <QUrlQuery>
#include <memory>

#include "support/simserver.h"
#include "support/testenv.h"

inline const QString kApp = "Jane-Snipe-SBX-1a2b", kCert = "SBX-c3d4+/=", kRuName = "Jane-Ru-x";

inline sim::Config ebaySite() {
  sim::Config c = lampSite("1234567890", "bieter", "geheim");
  c.ebay.appId = kApp.toStdString();
  c.ebay.certId = kCert.toStdString();
  c.ebay.ruName = kRuName.toStdString();
  return c;
}

// The browser's part: the consent page the program opened, the user's agreement; the address
// the browser ends at, as its address bar has it.
inline QString agree(const QString& consentPage) {
  const QUrl page(consentPage);
  QNetworkAccessManager browser;
  browser.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
  std::unique_ptr<QNetworkReply> shown(browser.get(QNetworkRequest(page)));
  if (!QTest::qWaitFor([&] { return shown->isFinished(); }, 10000)) return {};
  QUrlQuery form(page.query());
  form.addQueryItem("userid", "bieter");
  form.addQueryItem("pass", "geheim");
  form.addQueryItem("decision", "agree");
  QNetworkRequest post(page.adjusted(QUrl::RemoveQuery));
  post.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
  std::unique_ptr<QNetworkReply> agreed(
      browser.post(post, form.toString(QUrl::FullyEncoded).toUtf8()));
  if (!QTest::qWaitFor([&] { return agreed->isFinished(); }, 10000)) return {};
  return QString::fromUtf8(agreed->rawHeader("Location"));
}

// Files under the program and settings folders that hold the text.
inline QStringList filesHolding(TestEnv& env, const QString& text) {
  QStringList found;
  for (const QString& folder : {env.programFolder(), env.configFolder()}) {
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      QFile f(it.next());
      if (f.open(QIODevice::ReadOnly) && f.readAll().contains(text.toUtf8())) found << f.fileName();
    }
  }
  return found;
}
