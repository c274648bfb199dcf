#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "app/regional.h"
#include "timesync/siteoffset.h"
#include "timesync/timepage.h"

class Clock;
class Inet;

// Reads the auction site's time page again and again, each request timed so that its answer
// narrows the site's lead (siteoffset.h), about eight requests in all. Everything runs from
// the event loop on a transfer component of its own: nothing here waits, and the main window's
// transfers (a bid among them) are never held up or mixed with these.
class SiteTimeProbe : public QObject {
  Q_OBJECT

 public:
  SiteTimeProbe(Clock& clock, const RegionalFormat& region, const QString& timePageUrl,
                QObject* parent = nullptr);
  ~SiteTimeProbe() override;

  // Reads the page once as a synchronisation does, then refines that reading. When the first
  // page brings no time, failure() says why and nothing was measured.
  void measure();
  // Refines a first reading taken elsewhere.
  void refine(const siteoffset::Estimate& first);
  // The time is read from the answers' Date header instead of the page (eBay's API hosts).
  void readDateHeader() { m_fromDateHeader = true; }
  // Asked before every further request: false ends the readings with what they found.
  std::function<bool()> keepGoing;

  bool running() const { return m_running; }
  bool measured() const { return m_measured; }
  const siteoffset::Estimate& estimate() const { return m_estimate; }
  QString failure() const { return m_failure; }
  // The log line that says why the first page brought no time.
  QString failureLogLine() const { return m_failureLogLine; }

 signals:
  // The readings are over (measured() tells whether there is an estimate).
  void finished();

 private:
  void send();
  void onAnswer();
  timepage::PageTime readTime(const QString& page) const;
  void takeFirstPage(const QString& page);
  void takeLaterPage(const QString& page);
  void scheduleNext();
  void finish();

  Clock& m_clock;
  RegionalFormat m_region;
  QString m_url;
  Inet* m_inet;
  bool m_running = false;
  bool m_first = false;  // the request under way is the first page of measure()
  bool m_measured = false;
  qint64 m_sentMs = 0;        // the computer's clock
  qint64 m_arrivedMs = -1;    // the computer's clock; -1 while nothing arrived
  int m_markSecondOfDay = 0;  // the program's clock at the arrival, whole seconds of the day
  QString m_page;
  QString m_date;  // the answer's Date header
  bool m_fromDateHeader = false;
  siteoffset::Estimate m_estimate;
  QString m_failure;
  QString m_failureLogLine;
};
