#pragma once

// When the bid's first request went into its socket, seen from inside the benchmark process:
// it splits the trigger's transfer into the program's part (Qt's network thread taking the
// request over and writing it) and the simulator's (loopback, its worker waking from the
// idle-connection poll, reading the header). Qt writes to sockets with write(); the benchmark
// executable puts its own write() in front of the C library's (socketwrites.cpp).
namespace socketwrites {

// From now on, notes the moment of the next write whose bytes start with `prefix` (a text that
// lives for the whole run); forgets the one noted before.
void watchFor(const char* prefix);

// When that write began (ms since the epoch, to the microsecond), or 0 while none came.
double noted();

}  // namespace socketwrites
