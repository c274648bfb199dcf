#pragma once

// The machine's clock stays as it is while the benchmarks run, also for the superuser: the
// program measures the auction site's clock (at arming, at a synchronisation) and would set the
// computer's to it where it may.
#include <linux/capability.h>
#include <sys/prctl.h>
#include <unistd.h>

#include "platform/systemclock.h"

namespace bench {

// The computer's clock as a normal user has it: the right to set it is missing. A benchmark
// run by the superuser must not set the machine's clock when the program measures the site's.
class UnsettableClock : public SystemClock {
 public:
  ClockChange shiftLocalTime(qint64) override {
    return {false, QStringLiteral("Operation not permitted")};
  }
};

// Run in a child before it starts the program: the program may not set the clock either (the
// superuser's would hold the right through the bounding set). Ends the child when it cannot.
inline void dropClockRight() {
  prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
  if (::geteuid() == 0 && prctl(PR_CAPBSET_DROP, CAP_SYS_TIME, 0, 0, 0) != 0) ::_exit(99);
}

}  // namespace bench
