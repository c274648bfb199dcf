// ebayprobe: drives the program's eBay clients (sign-in, Browse, Offer) against the simulator,
// as a browser and a user would, so that tests/ebay/api_check.py can hold every request they
// send against eBay's documents. Prints one line per step: "step: what came of it".
//   ebayprobe BASE_URL LEGACY_ITEM_ID USER PASSWORD APP_ID CERT_ID RUNAME
#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrlQuery>
#include <cstdio>

#include "ebay/browseclient.h"
#include "ebay/oauthclient.h"
#include "ebay/offerclient.h"
#include "ebay/transport.h"
#include "platform/linux/systemclockbackend.h"

namespace {
void say(const char* step, const QString& what) {
  std::printf("%s: %s\n", step, qPrintable(what));
  std::fflush(stdout);
}

// Runs an asynchronous call to its end; the call's callback calls the `finish` it was given.
template <class Call>
void await(Call call) {
  QEventLoop loop;
  bool finished = false;
  call([&] {
    finished = true;
    loop.quit();
  });
  if (!finished) loop.exec();
}

// The browser's part: the consent page, then the user's agreement; the address it ends at.
QString consent(const QUrl& page, const QString& user, const QString& password) {
  QNetworkAccessManager nam;
  nam.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
  QEventLoop loop;
  QNetworkReply* shown = nam.get(QNetworkRequest(page));
  QObject::connect(shown, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  loop.exec();
  QUrlQuery form(page.query());
  form.addQueryItem(QStringLiteral("userid"), user);
  form.addQueryItem(QStringLiteral("pass"), password);
  form.addQueryItem(QStringLiteral("decision"), QStringLiteral("agree"));
  QNetworkRequest post(page.adjusted(QUrl::RemoveQuery));
  post.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
  QNetworkReply* agreed = nam.post(post, form.toString(QUrl::FullyEncoded).toUtf8());
  QObject::connect(agreed, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  loop.exec();
  return QString::fromUtf8(agreed->rawHeader("Location"));
}
}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList a = app.arguments();
  if (a.size() != 8) {
    std::fprintf(stderr,
                 "usage: ebayprobe BASE_URL LEGACY_ITEM_ID USER PASSWORD APP_ID CERT_ID "
                 "RUNAME\n");
    return 2;
  }
  QtClock clock;
  ebay::Account account;
  account.keyset = {a[5], a[6], a[7], ebay::Environment::Sandbox, ebay::kDefaultMarketplace};
  ebay::Transport transport;
  ebay::OAuthClient oauth(account, {a[1], a[1]}, clock, transport);
  ebay::BrowseClient browse(oauth, transport, account);
  ebay::OfferClient offer(oauth, transport, account, clock);
  QObject context;

  ebay::ItemData item;
  await([&](auto finish) {
    browse.item(a[2], &context, [&, finish](const ebay::ItemResult& r) {
      if (r.item) item = *r.item;
      say("item", r.item ? r.item->itemId + " " + r.item->minimumPriceToBid->value + " " +
                               r.item->currency() + " " + r.item->title
                         : r.failure);
      finish();
    });
  });
  await([&](auto finish) {
    browse.refresh(item.itemId, &context, [&, finish](const ebay::ItemResult& r) {
      say("compact", r.item ? r.item->currentBidPrice->value + " " +
                                  QString::number(r.item->bidCount) + " " + r.item->title
                            : r.failure);
      finish();
    });
  });
  await([&](auto finish) {
    browse.item(QStringLiteral("999"), &context, [&, finish](const ebay::ItemResult& r) {
      say("unknown", r.failure);
      finish();
    });
  });
  await([&](auto finish) {
    oauth.completeSignIn(consent(oauth.consentPage(), a[3], a[4]), &context,
                         [&, finish](bool ok, const QString& failure) {
                           say("signin", ok ? QStringLiteral("ok") : failure);
                           finish();
                         });
  });
  await([&](auto finish) {
    oauth.renewUserToken(&context, [&, finish](bool ok, const QString& failure) {
      say("renew", ok ? QStringLiteral("ok") : failure);
      finish();
    });
  });
  const qint64 end = clock.localMs() + 600'000;
  const auto bid = [&](const char* step, const ebay::Money& max) {
    await([&](auto finish) {
      offer.placeBid(item.itemId, max, false, end, &context, [&, finish](const ebay::BidResult& r) {
        say(step, r.outcome.code + " " + r.outcome.logLines.join(QLatin1Char('|')));
        finish();
      });
    });
  };
  bid("low", {item.currency(), QStringLiteral("0.01")});
  bid("currency", {QStringLiteral("USD"), QStringLiteral("100.00")});
  bid("bid", {item.currency(), *ebay::decimalFromGerman(QStringLiteral("1.234,50"))});
  await([&](auto finish) {
    offer.bidding(item.itemId, &context, [&, finish](const ebay::BiddingResult& r) {
      say("bidding", r.bidding ? r.bidding->auctionStatus + " " +
                                     (r.bidding->highBidder ? "high" : "outbid") + " " +
                                     r.bidding->maxAmount.value_or(ebay::Money{}).value
                               : QString::number(r.status));
      finish();
    });
  });
  return 0;
}
