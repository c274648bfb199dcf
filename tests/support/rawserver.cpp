#include "support/rawserver.h"

#include <QTcpSocket>

RawServer::RawServer(QByteArray answer) : m_answer(std::move(answer)) {
  QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
      QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
        const QByteArray request = socket->readAll();
        heard += request;
        firstLines.append(QString::fromLatin1(request.left(request.indexOf("\r\n"))));
        socket->write(m_answer);
        socket->disconnectFromHost();
      });
      QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
  });
}

bool RawServer::listen(const char* address, quint16 port) {
  return m_server.listen(QHostAddress(QString::fromLatin1(address)), port);
}

QString RawServer::hostPort() const {
  return QStringLiteral("%1:%2")
      .arg(m_server.serverAddress().toString())
      .arg(m_server.serverPort());
}
