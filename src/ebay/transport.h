#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <functional>

#include "ebay/requests.h"

// Sends eBay's API requests on one QNetworkAccessManager, whose connections stay open between
// requests (and can be opened ahead of a bid). Nothing of a request is logged here: headers
// and bodies carry tokens and the Cert ID.
namespace ebay {

struct ApiReply {
  int status = 0;  // 0: no answer came
  QByteArray body;
  QString networkError;   // no answer: why
  QByteArray dateHeader;  // the host's Date
  bool sent = false;      // the request left the computer (its body fully written)
};

class Transport : public QObject {
  Q_OBJECT
 public:
  explicit Transport(QObject* parent = nullptr);

  // Sends the request; `done` follows from the event loop, unless `context` is gone by then.
  void send(const ApiRequest& request, QObject* context, std::function<void(const ApiReply&)> done);
  // Opens a connection to the host ahead of the requests that will follow (TLS included).
  void warmUp(const QUrl& host);
  // Longest time a request may take before it counts as unanswered.
  void setTimeoutMs(int ms) { m_timeoutMs = ms; }

 private:
  QNetworkAccessManager m_nam;
  int m_timeoutMs = 30000;
};

}  // namespace ebay
