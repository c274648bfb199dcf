#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTimer>

#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "bidding/inet.h"
#include "bidding/transfer.h"
#include "support/simserver.h"
#include "support/testenv.h"
#include "timesync/gettime.h"

namespace {
// Exit code of a child that could not give up its rights.
const int kCannotDropRights = 99;

// Run in a child before it starts the program: it may never set the clock, and with
// readOnly it may not write where the mode bits forbid it either, even as the superuser.
bool dropRights(bool readOnly) {
  prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2]{};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  data[0].inheritable = data[1].inheritable = 0;
  if (syscall(SYS_capset, &header, data) != 0) return false;
  // The superuser's program gets every right in the bounding set.
  if (::geteuid() != 0) return true;
  if (prctl(PR_CAPBSET_DROP, CAP_SYS_TIME, 0, 0, 0) != 0) return false;
  return !readOnly || prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) == 0;
}

const std::string kTimePath = "/aw-cgi/eBayISAPI.dll";

// A site the test scripts (path -> page, the vendor's version file included); every body
// follows its header after delayMs. Logs "target User-Agent" of each request.
class PageHost {
 public:
  PageHost() {
    m_server.Get(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_requests << QString::fromStdString(req.target + " " + req.get_header_value("User-Agent"));
      const std::string body = m_pages[req.path];
      res.set_content_provider(body.size(), "text/html",
                               [body, delay = delayMs](size_t, size_t, httplib::DataSink& sink) {
                                 std::this_thread::sleep_for(std::chrono::milliseconds(delay));
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
  void setPage(const QString& page, const std::string& path = kTimePath) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pages[path] = page.toStdString();
  }
  QStringList requests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
  }
  int delayMs = 0;

 private:
  httplib::Server m_server;
  std::thread m_thread;
  std::mutex m_mutex;
  std::map<std::string, std::string> m_pages;
  QStringList m_requests;
  int m_port = -1;
};

QString page(const char* stamp, const char* zone = "MEZ") {
  return QStringLiteral("<html><body><p>Offizielle Zeit</p><b>   %1 %2</b></body></html>")
      .arg(QLatin1String(stamp), QLatin1String(zone));
}

const QString kTimeRequest = QStringLiteral(
    "/aw-cgi/eBayISAPI.dll?TimeShow Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
const QString kVersionRequest = QStringLiteral("/files/update+ Auktionsuhr+ - 1.3.6 - Linux");

// Clock synchronisation against the scripted site offering version 1.03.0007; the local clock
// stands at 05.12.2026 19:00:00.
struct Site {
  PageHost host;  // stopped after the transfer component has closed its connection
  TestEnv env;

  Site() {
    env.state.endpoints.timeHost = env.state.endpoints.vendorServer = host.baseUrl();
    env.state.VersionText = QStringLiteral("1.3.6");
    env.state.InstallTag = QStringLiteral("Linux");
    host.setPage(QStringLiteral("1.03.0007"), "/files/update+");
  }
  void run(const QString& timePage) {
    host.setPage(timePage);
    get_time(*env.ctx, env.window, nullptr);
  }
};
struct Sync : Site, ::testing::Test {};
}  // namespace

TEST(GetTime, setsTheClockFromThePageOrSaysWhyNotAndShowsThatAfterTheVersionCheck) {
  // The outcome: the clock calls, the log, and the message (shown unless msgonsync is 0).
  const struct {
    const char* what;
    QString page;  // null: the time host does not answer
    const char* outcome;
    short msgonsync = 1;
    int takesMs = 0;  // from the answer's first byte to its end
    bool refuse = false;
  } cases[] = {
      {"2 days ahead, lower-case zone word: time and date", page("07.12.2026 19:15:30", "mesz"),
       "time 19:15:30, date 2026-12-07 | Timesync: 19:00:00 -> 19:15:30 | Die Systemuhr wurde "
       "aktualisiert."},
      {"3 days ahead: the time only; no box when switched off", page("08.12.2026 19:15:31"),
       "time 19:15:31 | Timesync: 19:00:00 -> 19:15:31 | Die Systemuhr wurde aktualisiert.", 0},
      {"the seconds the answer took are added; any other switch value shows the box",
       page("05.12.2026 19:15:30"),
       "time 19:15:33, date 2026-12-05 | Timesync: 19:00:03 -> 19:15:33 | Die Systemuhr wurde "
       "aktualisiert.",
       -1, 3000},
      {"refused by the clock", page("05.12.2026 19:15:30"),
       "time 19:15:30, date 2026-12-05 | Timesync: 19:00:00 -> 19:15:30 (nicht gestellt) | Die "
       "Systemuhr konnte nicht gestellt werden.",
       1, 0, true},
      {"zone word at 21", QStringLiteral("05.12.2026 19:15:30 MEZ"), " |  | Typen unverträglich"},
      {"no zone word", QStringLiteral("keine Zeit"), " |  | Keine Zeitinformationen erhalten."},
      {"no answer", QString(), " |  | Keine Zeitinformationen erhalten."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Site s;
    s.env.state.msgonsync = c.msgonsync;
    s.env.systemClock.refuse = c.refuse;
    // An earlier page still in ResponseText never counts.
    s.env.state.ResponseText = page("01.12.2026 11:11:11");
    if (c.page.isNull()) s.env.state.endpoints.timeHost = QStringLiteral("http://127.0.0.1:1");
    QObject::connect(&s.env.inet1, &Inet::StateChanged, &s.env.inet1, [&](int state) {
      if (state == Inet::kReceivingResponse) s.env.clock.advanceMs(c.takesMs);
    });
    QString updateAtBox;  // the box comes after the version check has saved its finding
    s.env.dialogs.onMessage = [&](const QString&) { updateAtBox = s.env.setting("Update"); };
    s.run(c.page);
    const QString& message = s.env.state.SyncMessage;
    EXPECT_EQ(
        QStringList({s.env.systemClock.calls.join(", "), s.env.logMessages().join(", "), message})
            .join(" | ")
            .toStdString(),
        c.outcome);
    EXPECT_EQ(s.env.dialogs.messages, c.msgonsync ? QStringList{message} : QStringList());
    EXPECT_EQ(s.env.dialogs.titles, QStringList(s.env.dialogs.messages.size(), "GebotsfalkePlus"));
    EXPECT_EQ(updateAtBox, c.msgonsync ? QStringLiteral("1.03.0007") : QString());
    EXPECT_EQ(s.env.window.updateMarkShown, 1);
    EXPECT_EQ(s.host.requests(), c.page.isNull() ? QStringList{kVersionRequest}
                                                 : QStringList({kTimeRequest, kVersionRequest}));
    EXPECT_TRUE(s.env.dialogs.errors.isEmpty());
  }
}

TEST_F(Sync, bidRunningInsideTheWaitNeverSetsTheClockFromItsReply) {
  // The countdown fires while the time page is on its way: the bid cancels Inet1 and runs its
  // own exchange, whose reply names the auction's end in MEZ.
  host.setPage(page("05.12.2026 20:00:00"), "/bid");
  bool bid = false;
  QObject::connect(&env.inet1, &Inet::StateChanged, &env.inet1, [&](int state) {
    if (state != Inet::kReceivingResponse || bid) return;
    bid = true;
    QTimer::singleShot(0, &env.inet1, [&] {
      env.inet1.Cancel();
      runRequest(*env.ctx, env.inet1, host.baseUrl() + QStringLiteral("/bid"), QString(), QString(),
                 QString());
    });
  });
  host.delayMs = 300;
  run(page("05.12.2026 19:15:30"));
  ASSERT_TRUE(bid);
  EXPECT_TRUE(env.systemClock.calls.isEmpty());
  EXPECT_EQ(env.state.SyncMessage, QStringLiteral("Keine Zeitinformationen erhalten."));
}

TEST_F(Sync, secondStartWhileInet1IsBusyIsLeftToTheRunningOne) {
  host.setPage(page("05.12.2026 19:15:30"));
  host.delayMs = 200;
  env.inet1.Execute(host.baseUrl() + QStringLiteral("/aw-cgi/eBayISAPI.dll?TimeShow"));
  get_time(*env.ctx, env.window, nullptr);
  env.inet1.waitWhileExecuting();
  EXPECT_TRUE(env.dialogs.errors.isEmpty());
  EXPECT_EQ(host.requests().size(), 1);
}

// "-time" run from cron by a user: no display, no right to set the clock. Every failure ends
// with exit code 1 and says on standard error what failed (a clock that was set cannot be
// tried here: no test changes the real clock; the test above covers it).
TEST(TimeRun, fromCronEveryFailureEndsWithExitCodeOneAndALineOnStandardError) {
  enum Case { kClockRefused, kNoTimePage, kReadOnlyProgramFolder };
  const struct {
    Case what;
    QString err;
  } cases[] = {
      {kClockRefused, "GebotsfalkePlus: Die Systemuhr konnte nicht gestellt werden.\n"},
      {kNoTimePage, "GebotsfalkePlus: Keine Zeitinformationen erhalten.\n"},
      {kReadOnlyProgramFolder,
       "GebotsfalkePlus: Die Datei '<log>' konnte nicht geschrieben werden: Zugriff verweigert.; "
       "Protokollzeilen gehen verloren.\nFehler: Fehlernummer: 70; Beschreibung: Zugriff "
       "verweigert; Programmteil: WriteLog\nGebotsfalkePlus: Die Systemuhr konnte nicht gestellt "
       "werden.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TestEnv env;
    SimServer server;  // its site shows the real time: even a clock that was set stays right
    Endpoints endpoints = server.endpoints();
    if (c.what == kNoTimePage) endpoints.timeHost = QStringLiteral("http://127.0.0.1:1");
    env.writeEndpointsIni(endpoints);
    const bool readOnly = c.what == kReadOnlyProgramFolder;
    if (readOnly)
      QFile::setPermissions(env.programFolder(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);

    QProcess program;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR", "QT_LOGGING_RULES"})
      e.remove(QString::fromLatin1(name));
    e.insert("GEBOTSFALKE_HOME", env.programFolder());
    e.insert("XDG_CONFIG_HOME", env.configFolder());
    e.insert("TZ", "Europe/Berlin");
    program.setProcessEnvironment(e);
    program.setChildProcessModifier([readOnly] {
      if (!dropRights(readOnly)) ::_exit(kCannotDropRights);
    });
    program.start(QStringLiteral(GF_PROGRAM_EXECUTABLE), {QStringLiteral("-time")});
    ASSERT_TRUE(program.waitForFinished(60000));
    QFile::setPermissions(env.programFolder(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (program.exitCode() == kCannotDropRights)
      GTEST_SKIP() << "the right to set the clock cannot be dropped here";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
    EXPECT_EQ(QString::fromUtf8(program.readAllStandardError()),
              QString(c.err).replace("<log>", env.programFolder() + "/gebotsfalke.log"));
    EXPECT_EQ(program.readAllStandardOutput(), QByteArray());
  }
}
