#include "simulator.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace sim {
namespace {
// Arrival time of the request this worker thread is handling by the site's clock, taken before
// its body is read, and when the connection it came on was accepted (the same clock).
thread_local double t_arrivalMs = 0;
thread_local double t_acceptedMs = 0;
thread_local std::string t_jsonAnswer;

// The server's workers, each serving one connection from its acceptance to its end: notes when
// the connection was accepted (for the request log) and holds it back for the configured delay
// before it is served.
class AcceptingPool : public httplib::TaskQueue {
 public:
  explicit AcceptingPool(Simulator& sim) : m_sim(sim), m_pool(CPPHTTPLIB_THREAD_POOL_COUNT) {}
  void enqueue(std::function<void()> serve) override {
    // The listening thread has just accepted it.
    const double accepted = m_sim.siteNowMsPrecise();
    const double servedFrom = nowMsPrecise() + double(m_sim.connectDelayMs.load());
    ++m_sim.connectionsAccepted;
    m_pool.enqueue([this, accepted, servedFrom, serve = std::move(serve)] {
      t_acceptedMs = accepted;
      while (!m_sim.stopping && nowMsPrecise() < servedFrom)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
      serve();  // answers the connection's requests until it closes
      ++m_sim.connectionsClosed;
    });
  }
  void shutdown() override { m_pool.shutdown(); }

 private:
  Simulator& m_sim;
  httplib::ThreadPool m_pool;
};

// Milliseconds with three decimals, whatever the C locale's decimal point (a test process may
// run under a German one).
void appendMs(std::ostringstream& out, double ms) {
  const auto us = static_cast<long long>(std::llround(ms * 1000.0));
  char buf[40];
  std::snprintf(buf, sizeof buf, "%lld.%03lld", us / 1000, us % 1000);
  out << buf;
}
}  // namespace

void noteJsonAnswer(const std::string& body) {
  t_jsonAnswer = body;
}

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

double nowMsPrecise() {
  using namespace std::chrono;
  return double(duration_cast<microseconds>(system_clock::now().time_since_epoch()).count()) /
         1000.0;
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else if (c >= 0x80) {
          // Bodies are Windows-1252: carry such bytes as the Latin-1 character of their code.
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string escapeHtml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string httpDate(int64_t utcMs) {
  static const char* const kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const int64_t seconds = utcMs / 1000 - (utcMs % 1000 < 0);
  const time_t t = static_cast<time_t>(seconds);
  tm utc{};
  gmtime_r(&t, &utc);
  const int64_t day = seconds / 86400 - (seconds % 86400 < 0);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[((day % 7) + 7) % 7],
                utc.tm_mday, kMonths[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min,
                utc.tm_sec);
  return buf;
}

Simulator::Simulator(Config config) : m_config(std::move(config)) {
  m_siteOffsetMs = m_config.timeOffsetMs;
  if (!m_config.requestLog.empty()) m_log.open(m_config.requestLog, std::ios::app);
  // Headers and body of an answer go out in separate writes; without this the body would wait
  // for the client's delayed acknowledgement of the headers (some 40 ms on loopback), a delay
  // the real site does not have.
  m_server.set_tcp_nodelay(true);
  connectDelayMs = m_config.connectDelayMs;
  m_server.new_task_queue = [this] { return new AcceptingPool(*this); };
  m_server.set_pre_routing_handler([this](const httplib::Request&, httplib::Response&) {
    t_arrivalMs = siteNowMsPrecise();
    t_jsonAnswer.clear();
    return httplib::Server::HandlerResponse::Unhandled;
  });
  // Logged once the answer is ready and before it is sent, so that a client holding the answer
  // always finds its request in the log.
  m_server.set_post_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    if (!res.has_header("Date")) res.set_header("Date", httpDate(siteNowMs()));
    logRequest(req, res);
  });
  registerBidRoutes(*this);
  registerItemPage(*this);
  registerTimePage(*this);
  registerVendorRoutes(*this);
  registerEbayRoutes(*this);
}

Simulator::~Simulator() {
  stop();
}

int Simulator::start() {
  if (m_config.port == 0) {
    m_port = m_server.bind_to_any_port("127.0.0.1");
  } else {
    m_port = m_server.bind_to_port("127.0.0.1", m_config.port) ? m_config.port : -1;
  }
  if (m_port < 0) return -1;
  stopping = false;  // served again after a stop
  m_thread = std::thread([this] { m_server.listen_after_bind(); });
  // The socket already listens; connections wait in its backlog until the loop runs.
  while (!m_server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return m_port;
}

void Simulator::stop() {
  stopping = true;
  m_server.stop();
  if (m_thread.joinable()) m_thread.join();
}

std::string Simulator::baseUrl() const {
  return "http://127.0.0.1:" + std::to_string(m_port);
}

Item* Simulator::findItem(const std::string& id) {
  for (auto& item : m_config.items)
    if (item.id == id) return &item;
  return nullptr;
}

void Simulator::logRequest(const httplib::Request& req, const httplib::Response& res) {
  if (!m_log.is_open()) return;
  std::ostringstream line;
  std::string target = req.path;
  if (!req.params.empty() && req.target.find('?') != std::string::npos) target = req.target;
  line << "{\"arrival_ms\":";
  appendMs(line, t_arrivalMs);
  line << ",\"connection_accepted_ms\":";
  appendMs(line, t_acceptedMs);
  line << ",\"method\":" << jsonString(req.method) << ",\"path\":" << jsonString(target)
       << ",\"target\":" << jsonString(req.target) << ",\"status\":" << res.status
       << ",\"body\":" << jsonString(req.body) << ",\"client_port\":" << req.remote_port
       << ",\"headers\":{";
  bool first = true;
  for (const auto& h : req.headers) {
    if (!first) line << ",";
    first = false;
    line << jsonString(h.first) << ":" << jsonString(h.second);
  }
  line << "}";
  // eBay's API answers in JSON; the checks against its documents read them here.
  if (!t_jsonAnswer.empty()) line << ",\"answer\":" << jsonString(t_jsonAnswer);
  line << "}\n";
  std::lock_guard<std::mutex> lock(m_logMutex);
  m_log << line.str();
  m_log.flush();
}

}  // namespace sim
