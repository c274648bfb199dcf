#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTimeZone>
#include <QTimer>

#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "app/dateserial.h"
#include "app/startup.h"
#include "bidding/inet.h"
#include "bidding/transfer.h"
#include "sniper/form1.h"
#include "support/simserver.h"
#include "support/testenv.h"
#include "timesync/gettime.h"

namespace {
// A time host the test scripts (path -> page); a page's body follows its header after a delay.
class PageHost {
 public:
  PageHost() {
    m_server.Get(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_requests.push_back(req.target + " " + req.get_header_value("User-Agent"));
      const std::string body = m_pages[req.path];
      const int delayMs = m_delayMs;
      res.set_content_provider(body.size(), "text/html",
                               [body, delayMs](size_t, size_t, httplib::DataSink& sink) {
                                 std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                                 return sink.write(body.data(), body.size());
                               });
    });
    m_port = m_server.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    while (!m_server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~PageHost() {
    m_server.stop();
    m_thread.join();
  }
  QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
  void setPage(const QString& page, const std::string& path = "/aw-cgi/eBayISAPI.dll",
               int delayMs = 0) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pages[path] = page.toStdString();
    m_delayMs = delayMs;
  }
  std::vector<std::string> requests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
  }

 private:
  httplib::Server m_server;
  std::thread m_thread;
  std::mutex m_mutex;
  std::map<std::string, std::string> m_pages;
  int m_delayMs = 0;
  std::vector<std::string> m_requests;
  int m_port = -1;
};

sim::Config vendorAt(const std::string& version) {
  sim::Config c;
  c.vendorVersion = version;
  return c;
}

// The simulator logs a request just after answering it: wait (briefly) until n are logged.
QList<QJsonObject> logged(const SimServer& server, qsizetype n) {
  QList<QJsonObject> list = server.requests();
  for (int i = 0; i < 200 && list.size() < n; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    list = server.requests();
  }
  return list;
}

QString page(const QString& stamp, const QString& zone = QStringLiteral("MEZ")) {
  return QStringLiteral("<html><body><p>Offizielle Zeit</p><b>   ") + stamp + QChar(' ') + zone +
         QStringLiteral("</b></body></html>");
}

// The main window against a time host the test scripts and the simulator as vendor server;
// the local clock stands at 05.12.2026 19:00:00.
struct Sync : ::testing::Test {
  TestEnv env;
  SimServer vendor{vendorAt("1.03.0007")};
  PageHost host;
  Form1 form{*env.ctx};

  Sync() {
    env.state.endpoints = vendor.endpoints();
    env.state.endpoints.timeHost = host.baseUrl();
    env.state.VersionText = QStringLiteral("1.3.6");
    env.state.InstallTag = QStringLiteral("Linux");
  }
  QStringList run(const QString& timePage) {
    host.setPage(timePage);
    get_time(form);
    return env.systemClock.calls;
  }
};
}  // namespace

TEST_F(Sync, setsTimeAndDateFromThePageThenChecksTheVersion) {
  EXPECT_EQ(run(page(QStringLiteral("07.12.2026 19:15:30"), QStringLiteral("mesz"))),
            QStringList({QStringLiteral("time 19:15:30"), QStringLiteral("date 2026-12-07")}));
  env.systemClock.calls.clear();
  EXPECT_EQ(run(page(QStringLiteral("08.12.2026 19:15:31"))),  // 3 days ahead
            QStringList({QStringLiteral("time 19:15:31")}));
  EXPECT_EQ(env.state.SyncMessage, QStringLiteral("Die Systemuhr wurde aktualisiert."));
  EXPECT_EQ(env.logMessages(), QStringList({QStringLiteral("Timesync: 19:00:00 -> 19:15:30"),
                                            QStringLiteral("Timesync: 19:00:00 -> 19:15:31")}));
  EXPECT_EQ(host.requests().at(0),
            "/aw-cgi/eBayISAPI.dll?TimeShow Mozilla/4.0 (compatible; MSIE "
            "6.0; Windows NT 5.0)");
  const QJsonObject check = logged(vendor, 2).value(1);
  EXPECT_EQ(check[QStringLiteral("path")].toString(), QStringLiteral("/files/update+"));
  EXPECT_EQ(check[QStringLiteral("headers")][QStringLiteral("User-Agent")].toString(),
            QStringLiteral("Auktionsuhr+ - 1.3.6 - Linux"));
  EXPECT_EQ(env.setting(QStringLiteral("Update")), QStringLiteral("1.03.0007"));
  EXPECT_TRUE(env.dialogs.messages.isEmpty());  // msgonsync is 0
}

TEST_F(Sync, addsTheSecondsFromTheReceiveMarkToNow) {
  // The answer begins to arrive at 19:00:00; its collection and the way back take 3 seconds.
  QObject::connect(form.Inet1, &Inet::StateChanged, &form, [&](int state) {
    if (state == Inet::kReceivingResponse) env.clock.advanceMs(3000);
  });
  EXPECT_EQ(run(page(QStringLiteral("05.12.2026 19:15:30"))),
            QStringList({QStringLiteral("time 19:15:33"), QStringLiteral("date 2026-12-05")}));
  EXPECT_EQ(env.logMessages(), QStringList({QStringLiteral("Timesync: 19:00:03 -> 19:15:33")}));
  EXPECT_FALSE(env.state.SyncTimeMarkPending);
}

TEST_F(Sync, outcomeBoxComesAfterTheVersionCheckOnlyWhenSwitchedOn) {
  // Each version check leaves its finding in "Update": the box must see the new one.
  QStringList updateAtBox;
  env.dialogs.onMessage = [&](const QString&) { updateAtBox << env.setting("Update"); };
  env.state.msgonsync = -1;
  run(QStringLiteral("<html>keine Zeit</html>"));
  vendor.sim().config().vendorVersion = "1.03.0006";
  run(page(QStringLiteral("07.12.2026 19:15:30")));
  env.state.msgonsync = 0;
  run(page(QStringLiteral("07.12.2026 19:15:30")));
  EXPECT_EQ(env.dialogs.messages,
            QStringList({QStringLiteral("Keine Zeitinformationen erhalten."),
                         QStringLiteral("Die Systemuhr wurde aktualisiert.")}));
  EXPECT_EQ(env.dialogs.titles,
            QStringList({QStringLiteral("GebotsfalkePlus"), QStringLiteral("GebotsfalkePlus")}));
  EXPECT_EQ(updateAtBox, QStringList({QStringLiteral("1.03.0007"), QString()}));
  EXPECT_EQ(logged(vendor, 3).size(), 3);
}

TEST_F(Sync, stampThatCannotBeReadLeavesTheClockAloneButStillChecksTheVersion) {
  env.state.msgonsync = 1;
  run(QStringLiteral("05.12.2026 19:15:30 MEZ"));  // zone word at 21
  EXPECT_TRUE(env.systemClock.calls.isEmpty());
  EXPECT_TRUE(env.logLines().isEmpty());
  EXPECT_EQ(env.dialogs.messages, QStringList({QStringLiteral("Typen unverträglich")}));
  EXPECT_EQ(logged(vendor, 1).size(), 1);
  EXPECT_TRUE(env.dialogs.errors.isEmpty());
}

TEST_F(Sync, refusedClockChangeIsNotReportedAsSuccess) {
  env.state.msgonsync = 1;
  env.systemClock.refuse = true;
  run(page(QStringLiteral("05.12.2026 19:15:30")));
  EXPECT_EQ(env.dialogs.messages,
            QStringList({QStringLiteral("Die Systemuhr konnte nicht gestellt werden.")}));
  EXPECT_EQ(env.logMessages(),
            QStringList({QStringLiteral("Timesync: 19:00:00 -> 19:15:30 (nicht gestellt)")}));
}

TEST_F(Sync, failedRequestIsNotJudgedByAnEarlierPage) {
  env.state.msgonsync = 1;
  env.state.ResponseText = page(QStringLiteral("05.12.2026 19:15:30"));
  env.state.endpoints.timeHost = QStringLiteral("http://127.0.0.1:1");
  get_time(form);
  EXPECT_TRUE(env.systemClock.calls.isEmpty());
  EXPECT_EQ(env.dialogs.messages,
            QStringList({QStringLiteral("Keine Zeitinformationen erhalten.")}));
}

TEST_F(Sync, bidRunningInsideTheWaitNeverSetsTheClockFromItsReply) {
  // The countdown fires while the time page is on its way: the bid cancels Inet1 and runs its
  // own exchange, whose reply names the auction's end in MEZ.
  host.setPage(page(QStringLiteral("05.12.2026 20:00:00")), "/bid");
  bool bid = false;
  QObject::connect(form.Inet1, &Inet::StateChanged, &form, [&](int state) {
    if (state != Inet::kReceivingResponse || bid) return;
    bid = true;
    QTimer::singleShot(0, &form, [&] {
      form.Inet1->Cancel();
      runRequest(*env.ctx, *form.Inet1, host.baseUrl() + QStringLiteral("/bid"), QString(),
                 QString(), QString());
    });
  });
  host.setPage(page(QStringLiteral("05.12.2026 19:15:30")), "/aw-cgi/eBayISAPI.dll", 300);
  get_time(form);
  ASSERT_TRUE(bid);
  EXPECT_TRUE(env.systemClock.calls.isEmpty());
  EXPECT_EQ(env.state.SyncMessage, QStringLiteral("Keine Zeitinformationen erhalten."));
}

TEST_F(Sync, secondStartWhileInet1IsBusyIsLeftToTheRunningOne) {
  host.setPage(page(QStringLiteral("05.12.2026 19:15:30")), "/aw-cgi/eBayISAPI.dll", 200);
  form.Inet1->Execute(host.baseUrl() + QStringLiteral("/aw-cgi/eBayISAPI.dll?TimeShow"));
  get_time(form);
  form.Inet1->waitWhileExecuting();
  EXPECT_TRUE(env.dialogs.errors.isEmpty());
  EXPECT_EQ(host.requests().size(), 1u);
  EXPECT_TRUE(logged(vendor, 0).isEmpty());
}

TEST(TimeRun, setsTheClockToTheSimulatorsTimeWritesLogAndUpdateAndShowsNoWindow) {
  TestEnv env;
  sim::Config config = vendorAt("1.03.0007");
  config.timeOffsetSec = 5 * 3600 + 7;
  SimServer server(config);
  ASSERT_TRUE(server.ok());
  QFile ini(env.programFolder() + QStringLiteral("/endpoints.ini"));
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
  ini.write(
      QStringLiteral("[Endpoints]\nTimeHost=%1\nVendorServer=%1\n").arg(server.baseUrl()).toUtf8());
  ini.close();
  const QTimeZone berlin("Europe/Berlin");
  const qint64 offsetMs = config.timeOffsetSec * 1000;
  const QDateTime before = QDateTime::fromSecsSinceEpoch(
      QDateTime::currentSecsSinceEpoch() + config.timeOffsetSec, berlin);
  // The local date one day behind the site's: the date is set too.
  env.clock.set(before.date().year(), before.date().month(), before.date().day(), 3, 4, 5);
  env.clock.advanceMs(-86400000);

  Form1 form(*env.ctx);
  EXPECT_FALSE(Main(*env.ctx, form, {QStringLiteral("-time")}));
  const QDateTime after =
      QDateTime::fromMSecsSinceEpoch(QDateTime::currentMSecsSinceEpoch() + offsetMs, berlin);

  ASSERT_EQ(env.systemClock.calls.size(), 2) << env.systemClock.calls.join(';').toStdString();
  const QDateTime set = QDateTime(
      QDate::fromString(env.systemClock.calls[1].mid(5), QStringLiteral("yyyy-MM-dd")),
      QTime::fromString(env.systemClock.calls[0].mid(5), QStringLiteral("HH:mm:ss")), berlin);
  EXPECT_GE(set, before);
  EXPECT_LE(set, after);
  EXPECT_EQ(env.logMessages(),
            QStringList({QStringLiteral("Timesync: 03:04:05 -> ") + set.toString("HH:mm:ss")}));
  EXPECT_EQ(env.setting(QStringLiteral("Update")), QStringLiteral("1.03.0007"));
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(env.dialogs.messages.isEmpty());
  EXPECT_TRUE(env.dialogs.errors.isEmpty());
  EXPECT_EQ(logged(server, 2).value(0)[QStringLiteral("path")].toString(),
            QStringLiteral("/aw-cgi/eBayISAPI.dll?TimeShow"));
}
