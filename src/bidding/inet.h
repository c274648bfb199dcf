#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QNetworkAccessManager;
class QNetworkReply;

// The HTTP transfer component every exchange of the program goes through. A request is
// started with Execute and runs in the background; StateChanged reports 7 (receiving the
// response), 8 (response header received) and 12 (response completed). When StillExecuting
// turns false after a completed transfer, every handler of state 12 has already run to its end.
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

  // Starts a request. operation: empty or "GET", or "POST"; headers: lines each ended by CR LF.
  // Error 5 for a header line that is not "Name: value" or holds a stray CR or LF, and for an
  // unknown operation; error 35764 while a transfer still runs.
  void Execute(const QString& url, const QString& operation = QString(),
               const QString& data = QString(), const QString& headers = QString());
  bool StillExecuting() const { return m_executing; }
  // Drops a running transfer; no completion is reported for it.
  void Cancel();

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

 private:
  void onMetaData();
  void onProgress(qint64 received);
  void onFinished();
  void dropTooLong();
  void endExecution();

  QNetworkAccessManager* m_nam;
  QPointer<QNetworkReply> m_reply;
  QTimer m_timeout;
  int m_timeoutMs = kDefaultTimeoutMs;
  qint64 m_bodyLimit = -1;
  bool m_bodyTooLong = false;
  bool m_executing = false;
  bool m_headerSeen = false;
  QByteArray m_body;
  qsizetype m_readPos = 0;
  QList<QPair<QByteArray, QByteArray>> m_headers;
  int m_status = 0;
};
