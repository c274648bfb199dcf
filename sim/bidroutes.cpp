#include "simulator.h"

namespace sim {
void registerBidRoutes(Simulator&) {}
}  // namespace sim
