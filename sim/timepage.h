#pragma once

#include <cstdint>
#include <string>

#include "germantime.h"

namespace sim {

// The official time page for the instant (already including the configured offset).
std::string timePageHtml(int64_t utcMs);

}  // namespace sim
