#include "platform/linux/coredumps.h"

#include <sys/prctl.h>
#include <sys/resource.h>

bool disableCoreDumps() {
  const rlimit none{0, 0};
  const bool limited = ::setrlimit(RLIMIT_CORE, &none) == 0;
  const bool undumpable = ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
  return limited && undumpable;
}
