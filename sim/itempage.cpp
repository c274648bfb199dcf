#include "simulator.h"

namespace sim {
void registerItemPage(Simulator&) {}
}  // namespace sim
