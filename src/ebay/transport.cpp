#include "ebay/transport.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace ebay {

Transport::Transport(QObject* parent) : QObject(parent) {
  m_nam.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

void Transport::send(const ApiRequest& request, QObject* context,
                     std::function<void(const ApiReply&)> done) {
  QNetworkRequest r(request.url);
  for (const auto& h : request.headers) r.setRawHeader(h.first, h.second);
  r.setTransferTimeout(m_timeoutMs);
  // No cookie, no cache: every answer is eBay's own for this request.
  r.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
  r.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
  r.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  r.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
  QNetworkReply* reply = request.method == "POST"
                             ? m_nam.post(r, request.body)
                             : m_nam.sendCustomRequest(r, request.method, request.body);
  auto sent = std::make_shared<bool>(request.body.isEmpty());
  if (!request.body.isEmpty())
    connect(reply, &QNetworkReply::uploadProgress, reply, [sent](qint64 done, qint64 total) {
      if (total > 0 && done >= total) *sent = true;
    });
  QPointer<QObject> guard(context);
  connect(reply, &QNetworkReply::finished, this, [reply, guard, sent, done = std::move(done)] {
    reply->deleteLater();
    ApiReply answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.body = reply->readAll();
    answer.dateHeader = reply->rawHeader("Date");
    answer.sent = *sent || answer.status > 0;
    if (answer.status == 0) answer.networkError = reply->errorString();
    if (guard) done(answer);
  });
}

void Transport::warmUp(const QUrl& host) {
  if (host.scheme() == QLatin1String("https"))
    m_nam.connectToHostEncrypted(host.host(), quint16(host.port(443)));
  else
    m_nam.connectToHost(host.host(), quint16(host.port(80)));
}

}  // namespace ebay
