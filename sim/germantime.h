#pragma once

#include <cstdint>
#include <string>

namespace sim {

// German civil time of an instant: MEZ (UTC+1), and MESZ (UTC+2) from 01:00 UTC on the last
// Sunday of March until 01:00 UTC on the last Sunday of October.
struct GermanTime {
  std::string stamp;  // "dd.MM.yyyy HH:mm:ss"
  std::string zone;   // "MEZ" or "MESZ"
};
GermanTime germanTime(int64_t utcMs);

}  // namespace sim
