// Faulty connections on demand: the answer of one bid step ("--fault STEP:KIND") or of the item
// page ("--item-fault KIND") is held back for good, cut off in the middle, shortened to ten
// characters or replaced by random bytes. Programs must come out of each with a clear outcome.
#include <chrono>
#include <memory>
#include <random>
#include <thread>

#include "simulator.h"

namespace sim {
namespace {

// A hanging answer gives up after this long even when the server keeps running.
constexpr int64_t kLongestHangMs = 10 * 60 * 1000;

// Exactly ten characters: long enough not to count as "no data", too short for any page.
const char* const kTenCharacters = "Fehler 503";

constexpr size_t kGarbageBytes = 2048;

std::string garbage() {
  std::mt19937 random(20261205);  // the same bytes every time, so that outcomes repeat
  std::string out(kGarbageBytes, '\0');
  for (char& c : out) c = static_cast<char>(random() & 0xFF);
  return out;
}

void hang(Simulator& sim) {
  const int64_t until = nowMs() + kLongestHangMs;
  while (!sim.stopping && nowMs() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
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
  const std::string kind = text.substr(2);
  if (!isFaultKind(kind)) return false;
  config.faultStep = text[0] - '0';
  config.fault = kind;
  return true;
}

void applyBidFault(Simulator& sim, int step, httplib::Response& res) {
  std::string fault;
  {
    std::lock_guard<std::mutex> lock(sim.mutex());
    if (sim.config().faultStep != step) return;
    fault = sim.config().fault;
  }
  applyFault(sim, fault, res);
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
