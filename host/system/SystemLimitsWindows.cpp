// Windows sets no count of threads: the memory for their stacks is the limit, and a thread the
// system refuses is reported when the pool starts. Memory is the machine's physical memory.

#include "host/system/SystemLimits.h"

#include <windows.h>

#include <algorithm>
#include <limits>
#include <thread>

namespace OfflineHost {

// A process's affinity covers one processor group only, so it would undercount a large machine.
int usableProcessors() {
    return std::max(1U, std::thread::hardware_concurrency());
}

int startableThreads() {
    return std::numeric_limits<int>::max();
}

std::uint64_t usableMemory() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

} // namespace OfflineHost
