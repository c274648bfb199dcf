#include "bidding/inet.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include "app/cp1252.h"
#include "app/vberror.h"

namespace {
const int kStillExecutingError = 35764;

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

Inet::Inet(QObject* parent) : QObject(parent), m_nam(new QNetworkAccessManager(this)) {
  m_timeout.setSingleShot(true);
  connect(&m_timeout, &QTimer::timeout, this, &Inet::Cancel);
}

Inet::~Inet() {
  if (m_reply) {
    m_reply->disconnect(this);
    m_reply->abort();
  }
}

void Inet::Execute(const QString& url, const QString& operation, const QString& data,
                   const QString& headers) {
  if (m_executing)
    throw VbError(kStillExecutingError,
                  QStringLiteral("Die letzte Anforderung wird noch ausgeführt"));
  const QString op = operation.trimmed().toUpper();
  if (!op.isEmpty() && op != QLatin1String("GET") && op != QLatin1String("POST"))
    vberr::raise(vberr::kInvalidCall);
  const auto headerList = parseHeaders(headers);

  QNetworkRequest request{QUrl(url)};
  // Bodies arrive as sent, so that their length is the Content-Length the server announces.
  request.setRawHeader("Accept-Encoding", "identity");
  for (const auto& h : headerList) request.setRawHeader(h.first, h.second);
  request.setTransferTimeout(0);  // the component's own time-out below covers the whole exchange

  m_body.clear();
  m_readPos = 0;
  m_headers.clear();
  m_status = 0;
  m_headerSeen = false;
  m_bodyTooLong = false;
  m_executing = true;

  if (op == QLatin1String("POST")) {
    m_reply = m_nam->post(request, cp1252::encode(data));
  } else {
    m_reply = m_nam->get(request);
  }
  connect(m_reply, &QNetworkReply::metaDataChanged, this, &Inet::onMetaData);
  connect(m_reply, &QNetworkReply::downloadProgress, this, &Inet::onProgress);
  connect(m_reply, &QNetworkReply::finished, this, &Inet::onFinished);
  m_timeout.start(m_timeoutMs);
}

void Inet::onMetaData() {
  if (!m_reply || m_headerSeen) return;
  const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  if (!status.isValid()) return;
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
  if (m_reply && m_bodyLimit >= 0 && received > m_bodyLimit) dropTooLong();
}

void Inet::dropTooLong() {
  m_bodyTooLong = true;
  Cancel();
}

void Inet::onFinished() {
  QNetworkReply* reply = m_reply;
  if (!reply) return;
  m_reply = nullptr;
  reply->deleteLater();
  m_timeout.stop();
  // A reply with an HTTP status is a completed response, whatever the status; without one the
  // connection failed and nothing is reported complete.
  const bool hasStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
  if (hasStatus && reply->error() != QNetworkReply::OperationCanceledError) {
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
    } else if (m_executing) {
      emit StateChanged(kResponseCompleted);
    }
  }
  endExecution();
}

void Inet::endExecution() {
  if (!m_executing) return;
  m_executing = false;
  emit executionEnded();
}

void Inet::Cancel() {
  m_timeout.stop();
  if (m_reply) {
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
  }
  endExecution();
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
