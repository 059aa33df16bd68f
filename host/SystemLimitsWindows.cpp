// Windows sets no count of threads: the memory for their stacks is the limit, and a thread the
// system refuses is reported when the pool starts.

#include "SystemLimits.h"

#include <limits>

namespace OfflineHost {

int startableThreads() {
    return std::numeric_limits<int>::max();
}

} // namespace OfflineHost
