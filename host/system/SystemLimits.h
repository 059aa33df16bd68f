#pragma once

// What the machine lets this process use, read from the system each time it is asked.

#include <cstdint>

namespace OfflineHost {

// The processors this process may run on: its affinity where the system keeps one (a cluster's
// scheduler or a container sets it), else the machine's hardware threads. At least 1.
int usableProcessors();

// How many more threads this process may start now without reaching a limit of the system
// (threads or process IDs on the machine, the user's process limit, the control group's),
// halved so that the rest of the machine keeps room to start its own. At least 1.
int startableThreads();

// The bytes of memory this process may use: the machine's physical memory, or less where the
// control group or the process's address-space or data limit says so.
std::uint64_t usableMemory();

} // namespace OfflineHost
