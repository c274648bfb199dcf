#include "rawrequest.h"

#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <ctime>

#include "benchcommon.h"
#include "simulator.h"

namespace bench {
namespace {

// Headers the simulator's server adds to every request it logs; the client sent none of them.
bool addedByServer(const QString& name) {
  return name == QLatin1String("REMOTE_ADDR") || name == QLatin1String("REMOTE_PORT") ||
         name == QLatin1String("LOCAL_ADDR") || name == QLatin1String("LOCAL_PORT");
}

// A connected socket to 127.0.0.1:port and its local port; fd -1 when none could be opened.
struct Connection {
  int fd = -1;
  int localPort = 0;
};

Connection connectTo(int port) {
  Connection c;
  c.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (c.fd < 0) return c;
  const int one = 1;
  ::setsockopt(c.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(uint16_t(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (::connect(c.fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 ||
      ::getsockname(c.fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    ::close(c.fd);
    c.fd = -1;
    return c;
  }
  c.localPort = ntohs(local.sin_port);
  return c;
}

bool writeAll(int fd, const std::string& bytes) {
  for (size_t sent = 0; sent < bytes.size();) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += size_t(n);
  }
  return true;
}

// Reads one reply completely (header and the body its Content-Length announces), so that the
// connection could carry the next request; false on an error or after 5 s.
bool readReply(int fd) {
  QByteArray reply;
  qsizetype needed = -1;  // header and body, once the header is complete
  while (needed < 0 || reply.size() < needed) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 5000) <= 0) return false;
    char buffer[16384];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    reply.append(buffer, n);
    const qsizetype headerEnd = reply.indexOf("\r\n\r\n");
    if (needed >= 0 || headerEnd < 0) continue;
    static const QRegularExpression length(QStringLiteral("\r\ncontent-length:\\s*(\\d+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    const auto m = length.match(QString::fromLatin1(reply.left(headerEnd)));
    needed = headerEnd + 4 + (m.hasMatch() ? m.captured(1).toLongLong() : 0);
  }
  return true;
}

}  // namespace

RawRequests::RawRequests(sim::Simulator& simulator, QString requestLog, std::string itemId)
    : m_sim(simulator), m_log(std::move(requestLog)), m_item(std::move(itemId)) {}

void RawRequests::setRequest(const QJsonObject& logged) {
  // Bodies are logged as the Latin-1 characters of their bytes.
  const QByteArray body = logged[QStringLiteral("body")]
                              .toString()
                              .replace(QRegularExpression(QStringLiteral("item=\\d+")),
                                       QStringLiteral("item=") + QString::fromStdString(m_item))
                              .toLatin1();
  // eBay's API names the item in the path: "v1|<legacy id>|0", the bars perhaps encoded.
  const QByteArray path =
      logged[QStringLiteral("path")]
          .toString()
          .replace(QRegularExpression(QStringLiteral("(v1(\\||%7C))\\d+"),
                                      QRegularExpression::CaseInsensitiveOption),
                   QStringLiteral("\\1") + QString::fromStdString(m_item))
          .toLatin1();
  QByteArray request =
      logged[QStringLiteral("method")].toString().toLatin1() + ' ' + path + " HTTP/1.1\r\n";
  const QJsonObject headers = logged[QStringLiteral("headers")].toObject();
  for (auto it = headers.begin(); it != headers.end(); ++it) {
    if (addedByServer(it.key())) continue;
    const bool isLength =
        it.key().compare(QLatin1String("Content-Length"), Qt::CaseInsensitive) == 0;
    request += it.key().toLatin1() + ": " +
               (isLength ? QByteArray::number(body.size()) : it.value().toString().toLatin1()) +
               "\r\n";
  }
  m_request = (request + "\r\n" + body).toStdString();
}

QString RawRequests::measure(int count, Samples& samples) {
  if (m_request.empty()) return QStringLiteral("raw request: nothing to send yet");
  std::vector<Connection> connections;
  QString error;
  for (int i = 0; i < count; ++i) {
    connections.push_back(connectTo(m_sim.port()));
    if (connections.back().fd < 0) error = QStringLiteral("raw request: no connection");
  }
  // Each request is due at a whole second of the site's clock, as a trigger is: the machine's
  // timer tick has a fixed phase to the whole seconds, and a thread woken on a busy machine
  // waits for that tick. The first second comes at least 1 s after the connections opened.
  const qint64 siteLeadMs = std::llround(m_sim.siteNowMsPrecise() - sim::nowMsPrecise());
  qint64 dueMs = (m_sim.siteNowMs() / 1000 + 2) * 1000;  // by the site's clock
  for (size_t i = 0; i < connections.size() && error.isEmpty(); ++i, dueMs += 1000) {
    const Connection& c = connections[i];
    // The event loop runs until shortly before; then the thread sleeps to the moment.
    waitMs(int(dueMs - m_sim.siteNowMs()) - 20);
    const qint64 dueSystemMs = dueMs - siteLeadMs;
    const timespec due{time_t(dueSystemMs / 1000), long(dueSystemMs % 1000) * 1'000'000L};
    while (clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &due, nullptr) == EINTR) {
    }
    const double written = m_sim.siteNowMsPrecise();
    if (!writeAll(c.fd, m_request) || !readReply(c.fd)) {
      error = QStringLiteral("raw request: no reply");
      break;
    }
    const double arrival = arrivalFrom(c.localPort);
    if (arrival < 0) {
      error = QStringLiteral("raw request: not in the request log");
      break;
    }
    samples.limit.push_back(arrival - double(dueMs));
    samples.fromWrite.push_back(arrival - written);
  }
  for (const Connection& c : connections)
    if (c.fd >= 0) ::close(c.fd);
  return error;
}

double RawRequests::arrivalFrom(int localPort) const {
  QFile f(m_log);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const QList<QByteArray> lines = f.readAll().split('\n');
  // The newest line of that port: a port may come again later in a run.
  for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
    if (it->trimmed().isEmpty()) continue;
    const QJsonObject r = QJsonDocument::fromJson(*it).object();
    if (r[QStringLiteral("client_port")].toInt() == localPort)
      return r[QStringLiteral("arrival_ms")].toDouble();
  }
  return -1;
}

}  // namespace bench
