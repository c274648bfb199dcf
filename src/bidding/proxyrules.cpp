#include "bidding/proxyrules.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace proxyrules {
namespace {

bool isLoopback(const QString& host) {
  if (host == QLatin1String("localhost") || host.endsWith(QLatin1String(".localhost"))) return true;
  const QHostAddress address(host);
  return !address.isNull() && address.isLoopback();
}

// One no_proxy entry against the host and port.
bool covers(QString entry, const QString& host, int port) {
  if (entry == QLatin1String("*")) return true;
  // A port at the end: "host:8080", "[::1]:8080", "10.0.0.1:80"; a bare IPv6 address has
  // several colons and no port.
  int wantedPort = -1;
  if (entry.startsWith(QLatin1Char('['))) {
    const qsizetype close = entry.indexOf(QLatin1Char(']'));
    if (close < 0) return false;
    const QString rest = entry.mid(close + 1);
    if (rest.startsWith(QLatin1Char(':'))) wantedPort = rest.mid(1).toInt();
    entry = entry.mid(1, close - 1);
  } else if (entry.count(QLatin1Char(':')) == 1) {
    wantedPort = entry.section(QLatin1Char(':'), 1).toInt();
    entry = entry.section(QLatin1Char(':'), 0, 0);
  }
  if (wantedPort >= 0 && wantedPort != port) return false;

  const QHostAddress hostAddress(host);
  if (!hostAddress.isNull()) {
    if (entry.contains(QLatin1Char('/'))) {
      const auto subnet = QHostAddress::parseSubnet(entry);
      return !subnet.first.isNull() && hostAddress.isInSubnet(subnet);
    }
    const QHostAddress entryAddress(entry);
    return !entryAddress.isNull() && entryAddress.isEqual(hostAddress);
  }
  if (entry.startsWith(QLatin1String("*."))) entry.remove(0, 1);
  if (entry.startsWith(QLatin1Char('.'))) entry.remove(0, 1);
  if (entry.isEmpty()) return false;
  return host == entry || host.endsWith(QLatin1Char('.') + entry);
}

QString firstSet(const Environment& env, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    const QString value = env(name).trimmed();
    if (!value.isEmpty()) return value;
  }
  return QString();
}

}  // namespace

Environment processEnvironment() {
  return [](const char* name) { return qEnvironmentVariable(name); };
}

std::optional<Proxy> parseProxy(const QString& text) {
  QString t = text.trimmed();
  if (t.isEmpty()) return std::nullopt;
  if (!t.contains(QLatin1String("://"))) t.prepend(QLatin1String("http://"));
  const QUrl url(t, QUrl::StrictMode);
  if (!url.isValid() || url.host().isEmpty()) return std::nullopt;
  Proxy proxy;
  const QString scheme = url.scheme().toLower();
  if (scheme == QLatin1String("socks5") || scheme == QLatin1String("socks5h")) {
    proxy.kind = Proxy::Socks5;
  } else if (scheme != QLatin1String("http")) {
    return std::nullopt;  // no other kind of proxy can be spoken to
  }
  // Only a path of "/" may follow the address; anything more is no proxy address.
  if (!url.path().isEmpty() && url.path() != QLatin1String("/")) return std::nullopt;
  if (url.hasQuery() || url.hasFragment()) return std::nullopt;
  proxy.host = url.host();
  const int port = url.port(1080);
  if (port <= 0 || port > 65535) return std::nullopt;
  proxy.port = static_cast<quint16>(port);
  proxy.user = url.userName(QUrl::FullyDecoded);
  proxy.password = url.password(QUrl::FullyDecoded);
  return proxy;
}

bool bypassed(const QString& host, int port, const QString& noProxy) {
  static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
  const QString h = host.toLower();
  for (const QString& entry : noProxy.toLower().split(separators, Qt::SkipEmptyParts))
    if (covers(entry, h, port)) return true;
  return false;
}

std::optional<Proxy> proxyFor(const QUrl& url, const Environment& env) {
  const QString scheme = url.scheme().toLower();
  const QString host = url.host().toLower();
  if (host.isEmpty() || isLoopback(host)) return std::nullopt;
  const int port = url.port(scheme == QLatin1String("https") ? 443 : 80);
  if (bypassed(host, port, firstSet(env, {"no_proxy", "NO_PROXY"}))) return std::nullopt;
  if (scheme == QLatin1String("http")) return parseProxy(firstSet(env, {"http_proxy"}));
  if (scheme == QLatin1String("https"))
    return parseProxy(firstSet(env, {"https_proxy", "HTTPS_PROXY"}));
  return std::nullopt;
}

}  // namespace proxyrules
