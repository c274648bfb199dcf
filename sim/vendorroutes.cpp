#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "simulator.h"

namespace sim {

namespace {
namespace fs = std::filesystem;

// A name served from the vendor folder must name a file directly inside it.
bool isPlainName(const std::string& name) {
  if (name.empty() || name == "." || name.find("..") != std::string::npos) return false;
  for (const unsigned char c : name) {
    if (c == '/' || c == '\\' || c < 0x20) return false;
  }
  return true;
}

std::optional<std::string> readFile(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The folder's file names, sorted, joined by CR LF without a final line break.
std::string listing(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    std::error_code typeEc;
    if (entry.is_regular_file(typeEc)) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  std::string out;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out += "\r\n";
    out += names[i];
  }
  return out;
}

void notFound(httplib::Response& res) {
  res.status = 404;
  res.set_content("not found", "text/plain");
}

// Sends a body as raw bytes (never compressed) with its Content-Length. A truncated one
// announces its full length (at least 1) but only its first half arrives before the
// connection closes.
void sendFile(httplib::Response& res, std::string body, bool truncated) {
  const char* type = "application/octet-stream";
  if (!truncated) {
    res.set_content(std::move(body), type);
    return;
  }
  auto data = std::make_shared<std::string>(std::move(body));
  const size_t announced = std::max<size_t>(data->size(), 1);
  const size_t sent = data->size() / 2;
  res.set_content_provider(announced, type,
                           [data, sent](size_t offset, size_t, httplib::DataSink& sink) {
                             if (offset < sent) sink.write(data->data() + offset, sent - offset);
                             return false;  // the rest never comes: the connection is dropped
                           });
}
}  // namespace

void registerVendorRoutes(Simulator& sim) {
  // The version file: the newest version the vendor offers.
  sim.server().Get(R"(/files/update\+)", [&sim](const httplib::Request&, httplib::Response& res) {
    const std::string& version = sim.config().vendorVersion;
    if (version.empty()) {
      res.status = 404;
      res.set_content("not found", "text/plain");
      return;
    }
    res.set_content(version, "text/plain");
  });

  // The update files from the vendor folder; "filelist" is made from the folder's names when
  // the folder holds no file of that name.
  sim.server().Get(R"(/files/(.*))", [&sim](const httplib::Request& req, httplib::Response& res) {
    const std::string name = req.matches[1];
    std::string folder;
    bool truncated = false;
    {
      std::lock_guard<std::mutex> lock(sim.mutex());
      folder = sim.config().vendorDir;
      const auto& cut = sim.config().truncatedFiles;
      truncated = std::find(cut.begin(), cut.end(), name) != cut.end();
    }
    if (folder.empty() || !isPlainName(name)) return notFound(res);
    const fs::path path = fs::path(folder) / name;
    if (auto body = readFile(path)) return sendFile(res, std::move(*body), truncated);
    std::error_code ec;
    if (name == "filelist" && !fs::exists(path, ec))
      return sendFile(res, listing(folder), truncated);
    notFound(res);
  });
}

}  // namespace sim
