#include "simulator.h"

namespace sim {
void registerVendorRoutes(Simulator&) {}
}  // namespace sim
