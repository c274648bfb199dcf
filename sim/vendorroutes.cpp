// The vendor server: the version file, the file list, the signed manifest and the update files
// of a folder, each of them broken or forged on demand.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "releasesigning.h"
#include "simulator.h"

namespace sim {

namespace {
namespace fs = std::filesystem;
using vendorsign::kFileList;
using vendorsign::kManifest;
using vendorsign::kSignature;

// What a man in the middle would put in place of the installer.
const char* const kForgedBody = "#!/bin/sh\necho forged > \"$(dirname \"$0\")/forged-ran\"\n";

constexpr size_t kHugeLength = size_t{3} << 30;  // announced by "huge"
constexpr size_t kHugeSentAtMost = size_t{64} << 20;
constexpr size_t kLongExtra = size_t{1} << 20;  // added by "chunked-long"
constexpr size_t kPiece = 64 * 1024;

// A name served from the vendor folder must name a file directly inside it.
bool isPlainName(const std::string& name) {
  if (name.empty() || name == "." || name.find("..") != std::string::npos) return false;
  for (const unsigned char c : name) {
    if (c == '/' || c == '\\' || c < 0x20) return false;
  }
  return true;
}

void notFound(httplib::Response& res) {
  res.status = 404;
  res.set_content("not found", "text/plain");
}

struct Vendor {
  fs::path folder;
  std::string version;  // the version file's, which the manifest is signed for
  std::string secretKey;
  std::map<std::string, std::string> faults;

  std::string faultOf(const std::string& name) const {
    const auto it = faults.find(name);
    return it == faults.end() ? std::string() : it->second;
  }

  // The manifest of the folder's release; `asServed` describes forged files as they are
  // served, which the signature (made over the genuine one) does not cover.
  std::string manifest(bool asServed) const {
    // A version file that names no version gives a manifest without one, which no program takes.
    std::string out = vendorsign::isVersionText(version) ? vendorsign::manifestVersionLine(version)
                                                         : std::string();
    for (const std::string& name : vendorsign::releaseNames(folder)) {
      if (!isPlainName(name) || vendorsign::isDescriptionName(name)) continue;
      auto body = vendorsign::readFile(folder / name);
      if (!body) continue;
      if (asServed && faultOf(name) == "forge") *body = kForgedBody;
      out += vendorsign::manifestLine(name, *body);
    }
    return out;
  }

  // The body of a vendor file as the vendor publishes it (or an attacker forged it).
  std::optional<std::string> body(const std::string& name) const {
    if (auto file = vendorsign::readFile(folder / name)) return file;
    if (name == kFileList) return vendorsign::joinFileList(vendorsign::releaseNames(folder));
    if (secretKey.empty()) return std::nullopt;
    const bool forged = std::any_of(faults.begin(), faults.end(),
                                    [](const auto& f) { return f.second == "forge"; });
    if (name == kManifest) return manifest(forged);
    if (name == kSignature) return vendorsign::signatureFile(manifest(false), secretKey);
    return std::nullopt;
  }
};

// Writes data from offset up to `until`, in pieces; false when the client went away.
bool writeFrom(const std::shared_ptr<std::string>& data, size_t offset, size_t until,
               httplib::DataSink& sink) {
  while (offset < until) {
    const size_t n = std::min(kPiece, until - offset);
    if (!sink.write(data->data() + offset, n)) return false;
    offset += n;
  }
  return true;
}

// Sends the body raw (never compressed) the way the fault says.
void send(Simulator& sim, httplib::Response& res, std::string body, const std::string& fault) {
  const char* type = "application/octet-stream";
  if (fault == "forge") body = kForgedBody;
  if (fault == "flip" && !body.empty()) body[body.size() / 2] ^= 0x01;
  if (fault == "chunked-long") body.append(kLongExtra, 'x');
  auto data = std::make_shared<std::string>(std::move(body));
  const size_t half = data->size() / 2;
  if (fault == "cut") {
    // Announces the full length (at least 1); the connection closes after the first half.
    res.set_content_provider(std::max<size_t>(data->size(), 1), type,
                             [data, half](size_t offset, size_t, httplib::DataSink& sink) {
                               writeFrom(data, offset, half, sink);
                               return false;
                             });
  } else if (fault == "stall") {
    // Announces the full length and sends the first half; then nothing more comes, while the
    // connection stays open until the client leaves (or ten minutes pass).
    res.set_content_provider(std::max<size_t>(data->size(), 1), type,
                             [&sim, data, half](size_t offset, size_t, httplib::DataSink& sink) {
                               if (!writeFrom(data, offset, half, sink)) return false;
                               const int64_t giveUp = nowMs() + 10 * 60 * 1000;
                               while (!sim.stopping && sink.is_writable() && nowMs() < giveUp)
                                 std::this_thread::sleep_for(std::chrono::milliseconds(20));
                               return false;
                             });
  } else if (fault == "chunked" || fault == "chunked-cut" || fault == "chunked-long") {
    const bool whole = fault != "chunked-cut";
    res.set_chunked_content_provider(type, [data, half, whole](size_t, httplib::DataSink& sink) {
      if (!writeFrom(data, 0, whole ? data->size() : half, sink) || !whole) return false;
      sink.done();
      return true;
    });
  } else if (fault == "no-length") {
    // Neither a length nor chunks: the end of the body is the end of the connection.
    // (The server would keep the connection for the next request: it is dropped instead.)
    res.set_header("Connection", "close");
    res.set_content_provider(type, [data](size_t, httplib::DataSink& sink) {
      writeFrom(data, 0, data->size(), sink);
      return false;
    });
  } else if (fault == "huge") {
    auto zeros = std::make_shared<std::string>(kPiece, '\0');
    res.set_content_provider(kHugeLength, type,
                             [zeros](size_t offset, size_t, httplib::DataSink& sink) {
                               if (offset >= kHugeSentAtMost) return false;
                               return sink.write(zeros->data(), zeros->size());
                             });
  } else {
    res.set_content(*data, type);
  }
}
}  // namespace

const std::vector<std::string>& vendorFaultKinds() {
  static const std::vector<std::string> kinds = {
      "missing",      "cut",       "stall", "chunked", "chunked-cut",
      "chunked-long", "no-length", "huge",  "flip",    "forge"};
  return kinds;
}

bool parseVendorFault(const std::string& text, Config& config) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  const std::string kind = text.substr(colon + 1);
  const auto& kinds = vendorFaultKinds();
  if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) return false;
  config.vendorFaults[text.substr(0, colon)] = kind;
  return true;
}

void registerVendorRoutes(Simulator& sim) {
  // The version file: the newest version the vendor offers.
  sim.server().Get(R"(/files/update\+)", [&sim](const httplib::Request&, httplib::Response& res) {
    const std::string& version = sim.config().vendorVersion;
    if (version.empty()) return notFound(res);
    res.set_content(version, "text/plain");
  });

  // The vendor folder's files; the file list is made from the folder's names and the manifest
  // and its signature with the vendor key, when the folder holds no file of that name.
  sim.server().Get(R"(/files/(.*))", [&sim](const httplib::Request& req, httplib::Response& res) {
    const std::string name = req.matches[1];
    Vendor vendor;
    {
      std::lock_guard<std::mutex> lock(sim.mutex());
      vendor.folder = sim.config().vendorDir;
      vendor.version = sim.config().vendorVersion;
      vendor.secretKey = sim.config().vendorSecretKey;
      vendor.faults = sim.config().vendorFaults;
    }
    if (vendor.folder.empty() || !isPlainName(name)) return notFound(res);
    const std::string fault = vendor.faultOf(name);
    auto body = vendor.body(name);
    if (!body || fault == "missing") return notFound(res);
    send(sim, res, std::move(*body), fault);
  });
}

}  // namespace sim
