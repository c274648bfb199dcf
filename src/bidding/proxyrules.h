#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

// Which proxy a request goes through, read from the desktop's environment the way curl and
// most desktop programs read it:
//   http_proxy   for http:// URLs (lower case only: HTTP_PROXY may be set by a web server)
//   https_proxy  for https:// URLs (or HTTPS_PROXY); there is no fallback to http_proxy
//   no_proxy     (or NO_PROXY) hosts reached directly: a comma- or blank-separated list of
//                names ("example.org" and ".example.org" both cover the name and everything
//                below it, "*." likewise), IP addresses, networks ("10.0.0.0/8") and "*" for
//                every host; an entry may end in ":PORT" to cover only that port.
// A proxy is written [SCHEME://][USER[:PASSWORD]@]HOST[:PORT] with the scheme http (the
// default) or socks5/socks5h, and port 1080 when none is given. Loopback hosts (localhost,
// 127.0.0.0/8, ::1) are always reached directly. A proxy text that cannot be read means no
// proxy.
namespace proxyrules {

struct Proxy {
  enum Kind { Http, Socks5 };
  Kind kind = Http;
  QString host;
  quint16 port = 1080;
  QString user;
  QString password;

  bool operator==(const Proxy&) const = default;
};

// A variable of the environment by name, empty when unset.
using Environment = std::function<QString(const char* name)>;
// The process's own environment.
Environment processEnvironment();

// The proxy the environment names for this URL, none for a direct connection.
std::optional<Proxy> proxyFor(const QUrl& url, const Environment& env);

// One proxy text as in http_proxy; none when it is empty or cannot be read.
std::optional<Proxy> parseProxy(const QString& text);
// Whether a no_proxy list covers the host (lower case, IPv6 without brackets) and port.
bool bypassed(const QString& host, int port, const QString& noProxy);

}  // namespace proxyrules
