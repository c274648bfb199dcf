#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// Bounds of one transfer beyond the component's own time-out; 0 leaves a bound out.
struct TransferLimits {
  int silenceMs = 0;   // abandoned when the connection delivers no byte for this long
  int lifetimeMs = 0;  // abandoned when it has not completed this long after its start
  // Asked when the silence limit is reached: true keeps the transfer waiting for its answer,
  // up to its other bounds.
  std::function<bool()> silenceExcused = {};
};

// A request that carries the account (the bid's confirmation) goes out once and follows no
// redirect but where mayFollow allows:
// - Nothing sends it again, neither Qt's network access on a connection that failed after the
//   request had gone out nor anything else: such a transfer fails (requestSent() tells whether
//   the request had left, so that the site may have acted on it).
// - A redirect is followed only to an address mayFollow allows, and only one that sends none of
//   the body on (301, 302, 303 make the request a GET); any other ends the transfer as
//   RedirectRefused before anything goes there, and refusedRedirect() names where it led.
struct AccountRequest {
  std::function<bool(const QUrl&)> mayFollow;
};

// How the last transfer ended.
enum class TransferEnd {
  Running,          // it has not ended yet (or none was started)
  Completed,        // a response arrived whole (whatever its HTTP status)
  Failed,           // the connection failed: refused, reset, no such host, not HTTP, ...
  Cancelled,        // Cancel, or a new exchange of the caller
  TimedOut,         // the component's own time-out
  Silent,           // abandoned: no byte for TransferLimits::silenceMs
  LifetimeOver,     // abandoned: TransferLimits::lifetimeMs passed
  TooLong,          // dropped: the body is longer than setBodyLimit allows
  RedirectRefused,  // dropped: a redirect an AccountRequest may not follow
};

// The HTTP transfer component every exchange of the program goes through. A request is
// started with Execute and runs in the background; StateChanged reports 7 (receiving the
// response), 8 (response header received) and 12 (response completed). When StillExecuting
// turns false after a completed transfer, every handler of state 12 has already run to its end.
//
// Inner working:
// - Connections. One QNetworkAccessManager per component keeps the connections to each host
//   open after a response (HTTP keep-alive) and hands them to the next requests there.
//   openFreshConnection() replaces the manager, so that the next request connects anew instead
//   of trusting a connection that may have stalled.
// - Proxies. Each manager asks proxyrules (http_proxy, https_proxy, no_proxy of the
//   environment) which proxy a request goes through.
// - Time limits. Every transfer ends at the latest after timeoutMs() (60 s unless set). A
//   caller may bound one transfer further with TransferLimits: a silence limit, restarted by
//   every byte of the response that arrives (header or body), and a lifetime. A transfer that
//   reaches one is dropped like a Cancel (no completion, nothing of its body kept); ended()
//   says which bound it was and requestSent() whether the request had gone out whole.
// - Warm connections. warmUp() opens a connection to a host ahead of a request (TCP, and TLS
//   for https) without sending anything; the manager keeps it with the others, so the next
//   request there goes out on it without a handshake.
class Inet : public QObject {
  Q_OBJECT

 public:
  static constexpr int kReceivingResponse = 7;
  static constexpr int kResponseReceived = 8;
  static constexpr int kResponseCompleted = 12;
  static constexpr int kDefaultTimeoutMs = 60000;

  explicit Inet(QObject* parent = nullptr);
  ~Inet() override;

  // The URL property: set by the caller, read back as the first argument of Execute.
  QString URL;

  // Starts a request. operation: empty or "GET", or "POST"; headers: lines each ended by CR LF;
  // limits: bounds of this transfer only; account: the request carries the account (see
  // AccountRequest). Error 5 for a header line that is not "Name: value" or holds a stray CR or
  // LF, and for an unknown operation; error 35764 while a transfer still runs.
  void Execute(const QString& url, const QString& operation = QString(),
               const QString& data = QString(), const QString& headers = QString(),
               const TransferLimits& limits = {}, const AccountRequest* account = nullptr);
  bool StillExecuting() const { return m_executing; }
  // Drops a running transfer; no completion is reported for it.
  void Cancel();

  // How the last transfer ended, and for a failed one why (a short German text).
  TransferEnd ended() const { return m_ended; }
  QString failureText() const { return m_failureText; }
  // The last request went out whole (written to its connection), or a response began to
  // arrive. A request that never got there cannot have been acted upon.
  bool requestSent() const { return m_requestSent; }
  // Where the redirect led that ended the last transfer as RedirectRefused.
  QUrl refusedRedirect() const { return m_refusedRedirect; }
  // The next request goes out on a new connection (drops a running transfer first).
  void openFreshConnection();
  // Opens a connection to the scheme, host and port of `url` without sending anything, unless
  // one is open there already (then nothing goes over the network) or being opened. How the
  // opening ended comes with warmUpEnded: an empty text when the connection stands, else why
  // not (describeFailure). A fresh connection (openFreshConnection) drops it.
  void warmUp(const QString& url);
  bool warmingUp() const;
  // The German text for a failure of the connection (a QNetworkReply::NetworkError).
  static QString describeFailure(int networkError);

  // Next piece of the received body, at most `size` bytes; empty at the end.
  QString GetChunk(int size);          // text, decoded from Windows-1252
  QByteArray GetChunkBytes(int size);  // raw bytes
  // A response header's value, empty when there is none.
  QString GetHeader(const QString& name) const;
  // HTTP status of the last response, 0 when none arrived.
  int status() const { return m_status; }

  // The component's own time-out: a transfer that has not completed by then is dropped.
  void setTimeoutMs(int ms) { m_timeoutMs = ms; }
  int timeoutMs() const { return m_timeoutMs; }

  // The longest body the next transfers may bring (negative: no limit). A response that
  // announces a longer one, or brings more, is dropped as it arrives, like a time-out: nothing
  // of it is kept, and bodyTooLong() says why.
  void setBodyLimit(qint64 bytes) { m_bodyLimit = bytes; }
  bool bodyTooLong() const { return m_bodyTooLong; }

  // Waits, processing window events, until StillExecuting is false.
  void waitWhileExecuting();

 signals:
  void StateChanged(int state);
  // Emitted when StillExecuting turns false (completion, error, cancel or time-out).
  void executionEnded();
  // A warmUp() ended: `failure` is empty when the connection stands.
  void warmUpEnded(const QString& failure);

 private:
  QNetworkAccessManager* makeManager();
  void onMetaData();
  void onProgress(qint64 received);
  void onBytesArrived();
  void onFinished();
  void onRedirected(const QUrl& target, const AccountRequest& account);
  void dropTooLong();
  // Drops the running transfer; `why` is what ended() reports afterwards.
  void abandon(TransferEnd why);
  void endExecution(TransferEnd why);

  QNetworkAccessManager* m_nam;
  QPointer<QNetworkReply> m_reply;
  QPointer<QNetworkReply> m_warmUp;
  QTimer m_timeout;
  QTimer m_silence;
  std::function<bool()> m_silenceExcused;
  QTimer m_lifetime;
  int m_timeoutMs = kDefaultTimeoutMs;
  TransferEnd m_ended = TransferEnd::Running;
  QString m_failureText;
  bool m_requestSent = false;
  QUrl m_refusedRedirect;
  bool m_carriesAccount = false;
  qint64 m_bodyLimit = -1;
  bool m_bodyTooLong = false;
  bool m_executing = false;
  bool m_headerSeen = false;
  QByteArray m_body;
  qsizetype m_readPos = 0;
  QList<QPair<QByteArray, QByteArray>> m_headers;
  int m_status = 0;
};
