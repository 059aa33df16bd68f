// Linux reports its limits in /proc and in the control groups' files; elsewhere (macOS) those
// files are missing and only the user's resource limits count.

#include "host/system/SystemLimits.h"

#include <sys/resource.h>
#include <unistd.h>
#if defined(__linux__)
#include <sched.h>
#endif

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace OfflineHost {
namespace {

// The number a file starts with; none for a missing file or a word ("max": no limit).
std::optional<long long> numberIn(const std::string& file) {
    std::ifstream in(file);
    long long value = 0;
    if (in >> value) {
        return value;
    }
    return std::nullopt;
}

// Threads existing on the machine: /proc/loadavg's fourth field is "running/existing".
long long threadsOnMachine() {
    std::ifstream in("/proc/loadavg");
    std::string load1, load5, load15, running;
    if (in >> load1 >> load5 >> load15 && std::getline(in >> std::ws, running, '/')) {
        long long existing = 0;
        if (in >> existing) {
            return existing;
        }
    }
    return 0;
}

// The folders of the process's control groups that may hold the controller's limits:
// "N:controller,...:/path" under version 1, "0::/path" under version 2.
std::vector<std::string> controlGroups(const std::string& controller) {
    std::vector<std::string> folders;
    std::ifstream in("/proc/self/cgroup");
    std::string line;
    while (std::getline(in, line)) {
        const auto first = line.find(':');
        const auto second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) {
            continue;
        }
        const std::string controllers = "," + line.substr(first + 1, second - first - 1) + ",";
        const std::string path = line.substr(second + 1);
        if (controllers == ",,") {
            folders.push_back("/sys/fs/cgroup" + path);
        } else if (controllers.find("," + controller + ",") != std::string::npos) {
            folders.push_back("/sys/fs/cgroup/" + controller + path);
        }
    }
    return folders;
}

// The soft limit of a resource, if one is set.
std::optional<long long> resourceLimit(int resource) {
    rlimit limit{};
    if (::getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        return static_cast<long long>(limit.rlim_cur);
    }
    return std::nullopt;
}

} // namespace

int usableProcessors() {
#if defined(__linux__)
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0) {
        return std::max(1, CPU_COUNT(&set));
    }
#endif
    return std::max(1U, std::thread::hardware_concurrency());
}

int startableThreads() {
    long long room = std::numeric_limits<int>::max();
    const auto limit = [&room](std::optional<long long> most, long long used) {
        if (most) {
            room = std::min(room, *most - used);
        }
    };
    const long long existing = threadsOnMachine();
    limit(numberIn("/proc/sys/kernel/threads-max"), existing);
    limit(numberIn("/proc/sys/kernel/pid_max"), existing);
    // The user's own threads are not counted cheaply; the machine's are an upper bound.
    limit(resourceLimit(RLIMIT_NPROC), existing);
    for (const auto& group : controlGroups("pids")) {
        limit(numberIn(group + "/pids.max"), numberIn(group + "/pids.current").value_or(0));
    }
    return static_cast<int>(std::max(1LL, room / 2));
}

std::uint64_t usableMemory() {
    const long long pages = ::sysconf(_SC_PHYS_PAGES);
    const long long pageSize = ::sysconf(_SC_PAGESIZE);
    long long most =
        pages > 0 && pageSize > 0 ? pages * pageSize : std::numeric_limits<long long>::max();
    const auto limit = [&most](std::optional<long long> bytes) {
        if (bytes && *bytes >= 0) {
            most = std::min(most, *bytes);
        }
    };
    for (const auto& group : controlGroups("memory")) {
        limit(numberIn(group + "/memory.max"));            // version 2
        limit(numberIn(group + "/memory.limit_in_bytes")); // version 1
    }
    limit(resourceLimit(RLIMIT_AS));
    limit(resourceLimit(RLIMIT_DATA));
    return static_cast<std::uint64_t>(most);
}

} // namespace OfflineHost
