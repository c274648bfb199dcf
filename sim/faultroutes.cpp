// Faulty connections on demand: the answer of one bid step ("--fault STEP:KIND") or of the item
// page ("--item-fault KIND") is held back for good, cut off in the middle, shortened to ten
// characters or replaced by random bytes. A bid step may also be held back only the first time
// for an item, sent one byte per second, have its connection reset without an answer, or be
// redirected elsewhere with its method and body (307, 308).
// Programs must come out of each with a clear outcome.
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>
#include <thread>

#include "simulator.h"

namespace sim {
namespace {

// A hanging answer gives up after this long even when the server keeps running.
constexpr int64_t kLongestHangMs = 10 * 60 * 1000;
// A slow answer comes whole after this long, with nothing before it: slower than a site that
// is well, faster than the bid's silence limit.
constexpr int64_t kSlowAnswerMs = 2000;

// Exactly ten characters: long enough not to count as "no data", too short for any page.
const char* const kTenCharacters = "Fehler 503";

constexpr size_t kGarbageBytes = 2048;

std::string garbage() {
  std::mt19937 random(20261205);  // the same bytes every time, so that outcomes repeat
  std::string out(kGarbageBytes, '\0');
  for (char& c : out) c = static_cast<char>(random() & 0xFF);
  return out;
}

// Waits until the time has come or the server stops; false when it stops.
bool sleepUntil(Simulator& sim, int64_t untilMs) {
  while (!sim.stopping && nowMs() < untilMs)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return !sim.stopping;
}

void hang(Simulator& sim) {
  sleepUntil(sim, nowMs() + kLongestHangMs);
}

// The headers go out at once; then the body follows one byte per second, as long as the client
// stays (a server that is slow, not silent).
void trickle(Simulator& sim, httplib::Response& res) {
  auto data = std::make_shared<std::string>(std::move(res.body));
  res.body.clear();
  std::string type = res.get_header_value("Content-Type");
  if (type.empty()) type = "text/html";
  res.headers.erase("Content-Type");
  res.headers.erase("Content-Length");
  const int64_t giveUp = nowMs() + kLongestHangMs;
  res.set_content_provider(data->size(), type,
                           [data, &sim, giveUp](size_t offset, size_t, httplib::DataSink& sink) {
                             if (offset > 0 && !sleepUntil(sim, std::min(nowMs() + 1000, giveUp)))
                               return false;
                             if (nowMs() >= giveUp || !sink.is_writable()) return false;
                             return sink.write(data->data() + offset, 1);
                           });
}

// The TCP connection of this request, found among the process's sockets by its two ports.
int connectionSocket(const httplib::Request& req) {
  DIR* fds = opendir("/proc/self/fd");
  if (!fds) return -1;
  int found = -1;
  while (dirent* entry = readdir(fds)) {
    const int fd = std::atoi(entry->d_name);
    struct stat st {};
    if (fd <= 2 || fd == dirfd(fds) || fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode)) continue;
    sockaddr_storage local{}, peer{};
    socklen_t localLen = sizeof local, peerLen = sizeof peer;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLen) != 0 ||
        getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLen) != 0 ||
        local.ss_family != AF_INET || peer.ss_family != AF_INET)
      continue;
    const auto port = [](const sockaddr_storage& a) {
      return int(ntohs(reinterpret_cast<const sockaddr_in&>(a).sin_port));
    };
    if (port(local) == req.local_port && port(peer) == req.remote_port) {
      found = fd;
      break;
    }
  }
  closedir(fds);
  return found;
}

// Resets the request's connection (the client sees "connection reset by peer") before anything
// of the answer went out. Disconnecting an established TCP socket sends a reset and leaves the
// descriptor to the server, whose write of the answer then fails and which closes it.
void reset(const httplib::Request& req) {
  const int fd = connectionSocket(req);
  if (fd < 0) return;
  const linger noLinger{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &noLinger, sizeof noLinger);
  sockaddr unspecified{};
  unspecified.sa_family = AF_UNSPEC;
  connect(fd, &unspecified, sizeof unspecified);
}

// The first half of the body goes out under the full Content-Length; then the connection is
// dropped.
void cut(httplib::Response& res) {
  auto data = std::make_shared<std::string>(std::move(res.body));
  res.body.clear();
  std::string type = res.get_header_value("Content-Type");
  if (type.empty()) type = "text/html";
  res.headers.erase("Content-Type");
  res.headers.erase("Content-Length");
  const size_t announced = std::max<size_t>(data->size(), 1);
  const size_t sent = data->size() / 2;
  res.set_content_provider(announced, type,
                           [data, sent](size_t offset, size_t, httplib::DataSink& sink) {
                             if (offset < sent) sink.write(data->data() + offset, sent - offset);
                             return false;
                           });
}

}  // namespace

bool isFaultKind(const std::string& kind) {
  return kind == "hang" || kind == "cut" || kind == "ten" || kind == "garbage";
}

bool parseFault(const std::string& text, Config& config) {
  const size_t colon = text.find(':');
  if (colon != 1 || (text[0] != '1' && text[0] != '2')) return false;
  std::string kind = text.substr(2);
  if (kind.rfind("307:", 0) == 0 || kind.rfind("308:", 0) == 0) {
    if (kind.size() == 4) return false;
    config.faultLocation = kind.substr(4);
    kind.resize(3);
  } else if (!isFaultKind(kind) && kind != "hang-once" && kind != "trickle" && kind != "reset" &&
             kind != "slow") {
    return false;  // neither one of the item page's kinds nor one only a bid step answers with
  }
  config.faultStep = text[0] - '0';
  config.fault = kind;
  return true;
}

void applyBidFault(Simulator& sim, int step, const std::string& item, const httplib::Request& req,
                   httplib::Response& res) {
  std::string fault, location;
  {
    std::lock_guard<std::mutex> lock(sim.mutex());
    if (sim.config().faultStep != step) return;
    fault = sim.config().fault;
    location = sim.config().faultLocation;
    // Only the first request of the step for an item hangs; the ones after it are answered.
    if (fault == "hang-once" && !sim.firstRequestsHeld.insert(item).second) return;
  }
  if (fault == "hang-once") {
    hang(sim);
  } else if (fault == "slow") {
    sleepUntil(sim, nowMs() + kSlowAnswerMs);
  } else if (fault == "trickle") {
    trickle(sim, res);
  } else if (fault == "reset") {
    reset(req);
  } else if (fault == "307" || fault == "308") {
    res.status = std::stoi(fault);
    res.set_header("Location", location);
  } else {
    applyFault(sim, fault, res);
  }
}

void applyFault(Simulator& sim, const std::string& fault, httplib::Response& res) {
  if (fault == "hang") {
    hang(sim);
  } else if (fault == "cut") {
    cut(res);
  } else if (fault == "ten") {
    res.set_content(kTenCharacters, "text/plain");
  } else if (fault == "garbage") {
    res.set_content(garbage(), "application/octet-stream");
  }
}

}  // namespace sim
