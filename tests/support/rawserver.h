#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTcpServer>

// A bare TCP server of the test's own: it answers whatever arrives with the same bytes (an HTTP
// reply, or bytes that are no HTTP at all, or nothing) and hangs up, keeping every byte it heard
// and the first line of each request. A proxy, a host a redirect points at, a broken site.
class RawServer {
 public:
  explicit RawServer(QByteArray answer = {});
  // Listens on a free port of 127.0.0.1 unless told where.
  bool listen(const char* address = "127.0.0.1", quint16 port = 0);
  QString hostPort() const;  // "127.0.0.1:1234"
  QString baseUrl() const { return "http://" + hostPort(); }

  QByteArray heard;
  QStringList firstLines;

 private:
  QByteArray m_answer;
  QTcpServer m_server;
};
