#include "bidding/inet.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>
#include <algorithm>
#include <cstring>

#include "app/cp1252.h"
#include "app/stagemarks.h"
#include "app/vberror.h"
#include "bidding/proxyrules.h"

namespace {
const int kStillExecutingError = 35764;

// The proxy of each request, from the environment as proxyrules reads it.
class EnvironmentProxyFactory : public QNetworkProxyFactory {
 public:
  QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
    QUrl url = query.url();
    if (!url.isValid() || url.host().isEmpty()) {
      url = QUrl();
      url.setScheme(query.protocolTag());
      url.setHost(query.peerHostName());
      url.setPort(query.peerPort());
    }
    const auto proxy = proxyrules::proxyFor(url, proxyrules::processEnvironment());
    if (!proxy) return {QNetworkProxy(QNetworkProxy::NoProxy)};
    return {QNetworkProxy(proxy->kind == proxyrules::Proxy::Socks5 ? QNetworkProxy::Socks5Proxy
                                                                   : QNetworkProxy::HttpProxy,
                          proxy->host, proxy->port, proxy->user, proxy->password)};
  }
};

// The body of a request that may go out only once. Qt's network access rewinds a body to send
// the request again: on a new connection when the one it went out on failed before an answer
// came, and for a redirect that keeps the body. This body cannot be rewound, so such a request
// fails instead of reaching the site (or another host) a second time.
class OneShotBody : public QIODevice {
 public:
  OneShotBody(QByteArray data, QObject* parent) : QIODevice(parent), m_data(std::move(data)) {
    open(QIODevice::ReadOnly);
  }
  qint64 size() const override { return m_data.size(); }
  bool reset() override { return false; }

 protected:
  qint64 readData(char* out, qint64 maxSize) override {
    const qint64 n = std::min(maxSize, m_data.size() - pos());
    if (n <= 0) return -1;
    std::memcpy(out, m_data.constData() + pos(), static_cast<size_t>(n));
    return n;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  const QByteArray m_data;
};

// Splits the header text at CR LF into request headers. A line that is not "Name: value" or
// that holds a stray CR or LF is refused, so no text can smuggle in another header.
QList<QPair<QByteArray, QByteArray>> parseHeaders(const QString& text) {
  QList<QPair<QByteArray, QByteArray>> result;
  const QStringList lines = text.split(QStringLiteral("\r\n"));
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QString& line = lines[i];
    if (line.isEmpty()) {
      if (i == lines.size() - 1) continue;  // the text's own final line end
      vberr::raise(vberr::kInvalidCall);
    }
    if (line.contains(QChar('\r')) || line.contains(QChar('\n'))) vberr::raise(vberr::kInvalidCall);
    const qsizetype colon = line.indexOf(QChar(':'));
    if (colon <= 0) vberr::raise(vberr::kInvalidCall);
    result.append({cp1252::encode(line.left(colon).trimmed()),
                   cp1252::encode(line.mid(colon + 1).trimmed())});
  }
  return result;
}
}  // namespace

Inet::Inet(QObject* parent) : QObject(parent), m_nam(makeManager()) {
  for (QTimer* t : {&m_timeout, &m_silence, &m_lifetime}) {
    t->setSingleShot(true);
    t->setTimerType(Qt::PreciseTimer);
  }
  connect(&m_timeout, &QTimer::timeout, this, [this] { abandon(TransferEnd::TimedOut); });
  connect(&m_silence, &QTimer::timeout, this, [this] {
    if (!m_silenceExcused || !m_silenceExcused()) abandon(TransferEnd::Silent);
  });
  connect(&m_lifetime, &QTimer::timeout, this, [this] { abandon(TransferEnd::LifetimeOver); });
}

Inet::~Inet() {
  if (m_warmUp) m_warmUp->disconnect(this);
  if (m_reply) {
    m_reply->disconnect(this);
    m_reply->abort();
  }
}

QNetworkAccessManager* Inet::makeManager() {
  auto* nam = new QNetworkAccessManager(this);
  nam->setProxyFactory(new EnvironmentProxyFactory);  // the manager owns it
  return nam;
}

void Inet::openFreshConnection() {
  if (m_executing) Cancel();
  if (m_warmUp) m_warmUp->disconnect(this);
  // The old manager closes its connections as it goes; replies of it are gone already.
  m_nam->deleteLater();
  m_nam = makeManager();
}

void Inet::warmUp(const QString& url) {
  if (m_warmUp) return;
  const QUrl target(url);
  const QString scheme = target.scheme().toLower();
  if (!target.isValid() || target.host().isEmpty() ||
      (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
    emit warmUpEnded(describeFailure(QNetworkReply::ProtocolUnknownError));
    return;
  }
  // Qt's own form of a connection without a request. The request carries the same attributes
  // as those of Execute (HTTP/2 allowed, as by default), so that the manager files the
  // connection under the same key and hands it to them; QNetworkAccessManager::connectToHost
  // and connectToHostEncrypted would file it apart when HTTP/2 is not offered.
  QUrl preconnect;
  preconnect.setScheme(QStringLiteral("preconnect-") + scheme);
  preconnect.setHost(target.host());
  preconnect.setPort(target.port(scheme == QLatin1String("https") ? 443 : 80));
  QNetworkRequest request(preconnect);
  request.setTransferTimeout(m_timeoutMs);
  QNetworkReply* reply = m_nam->get(request);
  m_warmUp = reply;
  connect(reply, &QNetworkReply::finished, this, [this, reply] {
    reply->deleteLater();
    if (m_warmUp == reply) m_warmUp = nullptr;
    emit warmUpEnded(reply->error() == QNetworkReply::NoError ? QString()
                                                              : describeFailure(reply->error()));
  });
}

bool Inet::warmingUp() const {
  return !m_warmUp.isNull();
}

void Inet::Execute(const QString& url, const QString& operation, const QString& data,
                   const QString& headers, const TransferLimits& limits,
                   const AccountRequest* account) {
  if (m_executing)
    throw VbError(kStillExecutingError,
                  QStringLiteral("Die letzte Anforderung wird noch ausgeführt"));
  const QString op = operation.trimmed().toUpper();
  if (!op.isEmpty() && op != QLatin1String("GET") && op != QLatin1String("POST"))
    vberr::raise(vberr::kInvalidCall);
  const auto headerList = parseHeaders(headers);

  QNetworkRequest request{QUrl(url)};
  // The caller's header lines go out first and in their order, as the site knows them.
  for (const auto& h : headerList) request.setRawHeader(h.first, h.second);
  // Bodies arrive as sent, so that their length is the Content-Length the server announces.
  if (!request.hasRawHeader("Accept-Encoding")) request.setRawHeader("Accept-Encoding", "identity");
  request.setTransferTimeout(0);  // the component's own time-out below covers the whole exchange

  m_body.clear();
  m_readPos = 0;
  m_headers.clear();
  m_status = 0;
  m_headerSeen = false;
  m_bodyTooLong = false;
  m_ended = TransferEnd::Running;
  m_failureText.clear();
  m_requestSent = false;
  m_refusedRedirect.clear();
  m_carriesAccount = account != nullptr;
  m_executing = true;

  if (account) {
    // Every redirect is put to the account's rules before it is followed.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
  }
  if (op == QLatin1String("POST") && account) {
    auto* body = new OneShotBody(cp1252::encode(data), this);
    request.setHeader(QNetworkRequest::ContentLengthHeader, body->size());
    m_reply = m_nam->post(request, body);
    body->setParent(m_reply);  // read while the reply runs, gone with it
  } else if (op == QLatin1String("POST")) {
    m_reply = m_nam->post(request, cp1252::encode(data));
  } else {
    m_reply = m_nam->get(request);
  }
  if (account) {
    const AccountRequest rules = *account;
    connect(m_reply, &QNetworkReply::redirected, this,
            [this, rules](const QUrl& target) { onRedirected(target, rules); });
  }
  GF_STAGE_MARK("request handed over");
  connect(m_reply, &QNetworkReply::metaDataChanged, this, &Inet::onMetaData);
  connect(m_reply, &QNetworkReply::downloadProgress, this, &Inet::onProgress);
  connect(m_reply, &QNetworkReply::readyRead, this, [this] {
    if (m_reply && m_reply->bytesAvailable() > 0) onBytesArrived();
  });
  connect(m_reply, &QNetworkReply::requestSent, this, [this] { m_requestSent = true; });
  connect(m_reply, &QNetworkReply::finished, this, &Inet::onFinished);
  m_timeout.start(m_timeoutMs);
  m_silenceExcused = limits.silenceExcused;
  if (limits.silenceMs > 0) m_silence.start(limits.silenceMs);
  if (limits.lifetimeMs > 0) m_lifetime.start(limits.lifetimeMs);
}

void Inet::onRedirected(const QUrl& target, const AccountRequest& account) {
  if (!m_reply) return;
  // 301, 302 and 303 make the request a GET without the body; 307 and 308 would send the body,
  // the account with it, once more.
  const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  const bool dropsBody = status == 301 || status == 302 || status == 303;
  if (dropsBody && account.mayFollow && account.mayFollow(target)) {
    m_headerSeen = false;  // the answer is the one at the end of the redirect
    emit m_reply->redirectAllowed();
    return;
  }
  m_refusedRedirect = target;
  abandon(TransferEnd::RedirectRefused);
}

void Inet::onBytesArrived() {
  // Whatever arrives shows that the request went out and that the connection still lives.
  m_requestSent = true;
  if (m_silence.isActive()) m_silence.start();
}

void Inet::onMetaData() {
  if (!m_reply || m_headerSeen) return;
  const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  if (!status.isValid()) return;  // the failure of a connection changes the metadata too
  onBytesArrived();
  const QVariant announced = m_reply->header(QNetworkRequest::ContentLengthHeader);
  if (m_bodyLimit >= 0 && announced.isValid() && announced.toLongLong() > m_bodyLimit)
    return dropTooLong();
  m_headerSeen = true;
  m_status = status.toInt();
  m_headers = m_reply->rawHeaderPairs();
  emit StateChanged(kReceivingResponse);
  if (m_executing) emit StateChanged(kResponseReceived);
}

void Inet::onProgress(qint64 received) {
  if (received > 0) onBytesArrived();
  if (m_reply && m_bodyLimit >= 0 && received > m_bodyLimit) dropTooLong();
}

void Inet::dropTooLong() {
  m_bodyTooLong = true;
  abandon(TransferEnd::TooLong);
}

void Inet::onFinished() {
  QNetworkReply* reply = m_reply;
  if (!reply) return;
  m_reply = nullptr;
  reply->deleteLater();
  for (QTimer* t : {&m_timeout, &m_silence, &m_lifetime}) t->stop();
  // A reply with an HTTP status is a completed response, whatever the status; without one the
  // connection failed and nothing is reported complete.
  const bool hasStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
  if (!hasStatus || reply->error() == QNetworkReply::OperationCanceledError) {
    m_failureText = describeFailure(reply->error());
    return endExecution(TransferEnd::Failed);
  }
  // A redirect that Qt's network access gave up on its own: one that keeps the body (307, 308),
  // which the account's one-shot body cannot give a second time.
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (m_carriesAccount && status >= 300 && status < 400 && reply->hasRawHeader("Location")) {
    m_refusedRedirect =
        reply->url().resolved(QUrl::fromEncoded(reply->rawHeader("Location").trimmed()));
    return endExecution(TransferEnd::RedirectRefused);
  }
  if (!m_headerSeen) {
    m_reply = reply;  // let onMetaData read it
    onMetaData();
    m_reply = nullptr;
    if (m_bodyTooLong) return;  // dropped, and the execution ended with it
  }
  m_body = reply->readAll();
  m_readPos = 0;
  if (m_bodyLimit >= 0 && m_body.size() > m_bodyLimit) {
    m_bodyTooLong = true;
    m_body.clear();
    return endExecution(TransferEnd::TooLong);
  }
  if (m_executing) emit StateChanged(kResponseCompleted);
  endExecution(TransferEnd::Completed);
}

void Inet::endExecution(TransferEnd why) {
  if (!m_executing) return;
  m_executing = false;
  m_ended = why;
  emit executionEnded();
}

void Inet::abandon(TransferEnd why) {
  for (QTimer* t : {&m_timeout, &m_silence, &m_lifetime}) t->stop();
  if (m_reply) {
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
  }
  endExecution(why);
}

void Inet::Cancel() {
  abandon(TransferEnd::Cancelled);
}

QString Inet::describeFailure(int networkError) {
  switch (static_cast<QNetworkReply::NetworkError>(networkError)) {
    case QNetworkReply::ConnectionRefusedError:
      return QStringLiteral("Verbindung abgelehnt");
    case QNetworkReply::RemoteHostClosedError:
    // Qt's network access reports this one instead when the peer closed or reset the connection
    // after a request had gone out that may not be sent again (AccountRequest).
    case QNetworkReply::ContentReSendError:
      return QStringLiteral("Verbindung von der Gegenstelle getrennt");
    case QNetworkReply::HostNotFoundError:
      return QStringLiteral("Server nicht gefunden");
    case QNetworkReply::TimeoutError:
      return QStringLiteral("Zeitüberschreitung der Verbindung");
    case QNetworkReply::SslHandshakeFailedError:
      return QStringLiteral("sichere Verbindung nicht möglich");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
      return QStringLiteral("kein Netzwerk");
    case QNetworkReply::ProxyConnectionRefusedError:
      return QStringLiteral("Proxy lehnt die Verbindung ab");
    case QNetworkReply::ProxyConnectionClosedError:
      return QStringLiteral("Proxy hat die Verbindung getrennt");
    case QNetworkReply::ProxyNotFoundError:
      return QStringLiteral("Proxy nicht gefunden");
    case QNetworkReply::ProxyTimeoutError:
      return QStringLiteral("Proxy antwortet nicht");
    case QNetworkReply::ProxyAuthenticationRequiredError:
      return QStringLiteral("Proxy verlangt eine Anmeldung");
    default:
      return QStringLiteral("Übertragungsfehler %1").arg(networkError);
  }
}

QByteArray Inet::GetChunkBytes(int size) {
  if (size <= 0 || m_readPos >= m_body.size()) return QByteArray();
  const QByteArray piece = m_body.mid(m_readPos, size);
  m_readPos += piece.size();
  return piece;
}

QString Inet::GetChunk(int size) {
  return cp1252::decode(GetChunkBytes(size));
}

QString Inet::GetHeader(const QString& name) const {
  const QByteArray wanted = name.toLatin1().toLower();
  for (const auto& h : m_headers) {
    if (h.first.toLower() == wanted) return QString::fromLatin1(h.second);
  }
  return QString();
}

void Inet::waitWhileExecuting() {
  if (!m_executing) return;
  QEventLoop loop;
  connect(this, &Inet::executionEnded, &loop, &QEventLoop::quit);
  if (m_executing) loop.exec();
}
