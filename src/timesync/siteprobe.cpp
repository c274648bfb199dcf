#include "timesync/siteprobe.h"

#include "app/vberror.h"
#include "bidding/inet.h"
#include "platform/clock.h"
#include "timesync/timepage.h"

namespace {
// A request is sent this long after the moment it is planned for at the earliest: the
// event loop's own delay, so that the plan is kept.
constexpr qint64 kPlanningMs = 3;
}  // namespace

SiteTimeProbe::SiteTimeProbe(Clock& clock, const RegionalFormat& region, const QString& timePageUrl,
                             QObject* parent)
    : QObject(parent),
      m_clock(clock),
      m_region(region),
      m_url(timePageUrl),
      m_inet(new Inet(this)) {
  connect(m_inet, &Inet::StateChanged, this, [this](int state) {
    if (state == Inet::kReceivingResponse && m_arrivedMs < 0) {
      m_arrivedMs = m_clock.computerMs();
      m_markSecondOfDay = static_cast<int>(m_clock.wholeSeconds() % 86400);
    } else if (state == Inet::kResponseCompleted) {
      m_date = m_inet->GetHeader(QStringLiteral("Date"));
      for (QString piece = m_inet->GetChunk(1024); !piece.isEmpty(); piece = m_inet->GetChunk(1024))
        m_page += piece;
    }
  });
  connect(m_inet, &Inet::executionEnded, this, &SiteTimeProbe::onAnswer);
}

SiteTimeProbe::~SiteTimeProbe() = default;

void SiteTimeProbe::measure() {
  m_running = true;
  m_first = true;
  send();
}

void SiteTimeProbe::refine(const siteoffset::Estimate& first) {
  m_running = true;
  m_measured = true;
  m_estimate = first;
  scheduleNext();
}

void SiteTimeProbe::send() {
  m_page.clear();
  m_date.clear();
  m_arrivedMs = -1;
  // The first page may take as long as any synchronisation; a later one that takes longer than
  // its use allows is given up.
  m_inet->setTimeoutMs(m_first ? Inet::kDefaultTimeoutMs
                               : static_cast<int>(siteoffset::kSlowestRoundTripMs) + 1000);
  m_sentMs = m_clock.computerMs();
  try {
    m_inet->Execute(m_url, QString(), QString(), timepage::kRequestHeaders);
  } catch (const VbError& e) {
    if (m_first) {
      m_failure = timepage::kNoTime;
      m_failureLogLine = QStringLiteral("Timesync nicht möglich: ") + e.description();
    }
    finish();
  }
}

void SiteTimeProbe::onAnswer() {
  if (!m_running) return;
  // Only a completed answer counts, never the body of an earlier one.
  const QString page = m_arrivedMs < 0 ? QString() : m_page;
  if (m_first) {
    m_first = false;
    takeFirstPage(page);
  } else {
    takeLaterPage(page);
  }
}

timepage::PageTime SiteTimeProbe::readTime(const QString& page) const {
  if (m_fromDateHeader) return timepage::readDateHeader(m_arrivedMs < 0 ? QString() : m_date);
  return timepage::readPageTime(page, m_region, m_clock.now());
}

void SiteTimeProbe::takeFirstPage(const QString& page) {
  const timepage::PageTime time = readTime(page);
  if (!time.ok) {
    m_failure = time.failure;
    m_failureLogLine =
        timepage::noTimeLogLine(m_inet->ended(), m_inet->status(), m_inet->failureText(), time);
    finish();
    return;
  }
  const qint64 lead = siteoffset::wholeSecondLead(time.shownMs, m_markSecondOfDay,
                                                  m_clock.localMs(), m_clock.computerMs());
  m_estimate = siteoffset::firstReading({m_sentMs, m_arrivedMs, time.shownMs}, lead);
  m_measured = true;
  scheduleNext();
}

void SiteTimeProbe::takeLaterPage(const QString& page) {
  const timepage::PageTime time = readTime(page);
  // A page without a time, or one that contradicts the others, ends the readings; the
  // estimate stays as the earlier ones left it.
  if (!time.ok || siteoffset::narrow(m_estimate, {m_sentMs, m_arrivedMs, time.shownMs}) !=
                      siteoffset::Verdict::Narrowed) {
    finish();
    return;
  }
  scheduleNext();
}

void SiteTimeProbe::scheduleNext() {
  if (siteoffset::precise(m_estimate) || (keepGoing && !keepGoing())) {
    finish();
    return;
  }
  const qint64 sendAt = siteoffset::nextSendMs(m_estimate, m_clock.computerMs() + kPlanningMs);
  // The clock plans in the program's time: the computer's plus the lead it keeps.
  m_clock.callAt(sendAt + m_clock.siteLeadMs(), this, [this] {
    if (m_running) send();
  });
}

void SiteTimeProbe::finish() {
  if (!m_running) return;
  m_running = false;
  m_inet->Cancel();
  emit finished();
}
