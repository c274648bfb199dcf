#include "simulator.h"

namespace sim {

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
}

}  // namespace sim
