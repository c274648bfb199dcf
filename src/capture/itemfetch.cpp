#include "capture/itemfetch.h"

#include "bidding/inet.h"

ItemPageFetch::ItemPageFetch(QObject* parent) : QObject(parent), m_inet(new Inet(this)) {
  m_inet->setObjectName(QStringLiteral("ItemPageInet"));
  m_inet->setTimeoutMs(kTimeoutMs);
  m_inet->setBodyLimit(kLongestPage);
  connect(m_inet, &Inet::StateChanged, this, [this](int state) {
    if (state == Inet::kResponseCompleted) m_completed = true;
  });
  connect(m_inet, &Inet::executionEnded, this, &ItemPageFetch::onEnded);
}

ItemPageFetch::~ItemPageFetch() {
  cancel();
}

void ItemPageFetch::start(const QString& itemHost, const QString& itemId) {
  cancel();
  m_itemId = itemId;
  m_dropped = false;
  m_completed = false;
  m_inet->Execute(itempage::url(itemHost, itemId), QStringLiteral("GET"), QString(),
                  QStringLiteral("Accept: text/html\r\n"));
}

void ItemPageFetch::cancel() {
  if (!m_inet->StillExecuting()) return;
  // Cancelling ends the execution at once; that end is no answer to report.
  m_dropped = true;
  m_inet->Cancel();
}

bool ItemPageFetch::running() const {
  return m_inet->StillExecuting();
}

void ItemPageFetch::onEnded() {
  if (m_dropped) {
    m_dropped = false;
    return;
  }
  itempage::Answer a;
  a.itemId = m_itemId;
  a.status = m_inet->status();
  // Only a whole response counts: a time-out after the header is no answer either.
  a.arrived = m_completed;
  if (a.arrived) {
    const QByteArray body = m_inet->GetChunkBytes(static_cast<int>(kLongestPage));
    const QString html = itempage::decode(body, m_inet->GetHeader("Content-Type"));
    a.pageTitle = itempage::title(html);
    a.highBidder = itempage::highBidder(html);
  } else {
    a.reason =
        m_inet->bodyTooLong() ? QStringLiteral("Seite zu lang") : QStringLiteral("keine Antwort");
  }
  emit finished(a);
}
