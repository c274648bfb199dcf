#pragma once

// The program holds the account's password in memory: no core file may be written of it, and
// other processes of the same user may not read its memory. Switches both off for this process
// (RLIMIT_CORE 0, not dumpable); false when the system refused either.
bool disableCoreDumps();
