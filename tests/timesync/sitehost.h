#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include <httplib.h>

#include <QLocale>

#include "app/dateserial.h"
#include "ebay/ebaytime.h"
#include "fakes/fakes.h"

inline const std::string kTimePath = "/aw-cgi/eBayISAPI.dll";

// A time page with the stamp in the site's form and the zone word after it.
inline QString timePage(const QString& stamp, const char* zone = "MEZ") {
  return QStringLiteral("<html><body><p>Offizielle Zeit</p><b>   %1 %2</b></body></html>")
      .arg(stamp, QLatin1String(zone));
}

// The stamp of the whole second at ms since 30.12.1899.
inline QString stampOf(qint64 ms) {
  const qint64 seconds = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
  const dateserial::Parts p = dateserial::toParts(dateserial::fromLinearSeconds(seconds));
  return QStringLiteral("%1.%2.%3 %4:%5:%6")
      .arg(p.day, 2, 10, QChar('0'))
      .arg(p.month, 2, 10, QChar('0'))
      .arg(p.year, 4, 10, QChar('0'))
      .arg(p.hour, 2, 10, QChar('0'))
      .arg(p.minute, 2, 10, QChar('0'))
      .arg(p.second, 2, 10, QChar('0'));
}

// A site the test scripts: a page per path (the vendor's version file too), or a time page that
// follows a fake clock's computer time plus the site's lead. Every body follows its header after
// delayMs. Logs "target User-Agent" of each request.
class PageHost {
 public:
  PageHost() {
    m_server.Get(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
      std::string body;
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests << QString::fromStdString(req.target + " " + req.get_header_value("User-Agent"));
        const bool timePath = req.path == kTimePath;
        if (timePath && timePageAnswers == 0) {
          res.status = 503;
          body = "<html><body>Zur Zeit nicht erreichbar.</body></html>";
        } else if (timePath && m_clock) {
          body = timePage(stampOf(m_clock->computerMs() + m_leadMs), m_zone).toStdString();
        } else {
          body = m_pages[req.path];
        }
        if (timePath && timePageAnswers > 0) --timePageAnswers;
        // Every answer of a clocked site carries its second in the Date header, as eBay's API
        // hosts do.
        if (m_clock)
          res.set_header(
              "Date",
              QLocale::c()
                  .toString(ebay::instantOfLocalMs(m_clock->computerMs() + m_leadMs).toUTC(),
                            QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"))
                  .toStdString());
      }
      res.set_content_provider(
          body.size(), "text/html",
          [body, delay = delayMs.load()](size_t, size_t, httplib::DataSink& sink) {
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            return sink.write(body.data(), body.size());
          });
    });
    m_server.set_tcp_nodelay(true);  // no answer waits for a delayed acknowledgement
    m_port = m_server.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    while (!m_server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~PageHost() {
    m_server.stop();
    m_thread.join();
  }
  QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
  void setPage(const QString& page, const std::string& path = kTimePath) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pages[path] = page.toStdString();
  }
  // From now on the time page shows the clock's computer time plus leadMs.
  void runClock(const FakeClock& clock, qint64 leadMs, const char* zone = "MEZ") {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_clock = &clock;
    m_leadMs = leadMs;
    m_zone = zone;
  }
  QStringList requests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
  }
  std::atomic<int> delayMs{0};
  int timePageAnswers = -1;  // how often the time page is answered (-1: always); then 503

 private:
  httplib::Server m_server;
  std::thread m_thread;
  std::mutex m_mutex;
  std::map<std::string, std::string> m_pages;
  const FakeClock* m_clock = nullptr;
  qint64 m_leadMs = 0;
  const char* m_zone = "MEZ";
  QStringList m_requests;
  int m_port = -1;
};
