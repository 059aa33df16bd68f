#include "Diagnostics.h"

namespace OfflineHost {

bool Account::clean() const {
    for (const auto& handle : liveHandles) {
        if (!handle.isGlobalData) {
            return false;
        }
    }
    return liveWorlds.empty() && unreleasedSuites.empty() && paramsNotCheckedIn.empty();
}

} // namespace OfflineHost
