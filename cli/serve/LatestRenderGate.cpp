#include "cli/serve/LatestRenderGate.h"

namespace OndrelCli {

LatestRenderGate::Ticket LatestRenderGate::take() {
    std::lock_guard lock(m_mutex);
    ++m_newest;
    // Wakes the request waiting behind the render in progress, which is now superseded.
    m_changed.notify_all();
    return m_newest;
}

bool LatestRenderGate::isNewest(Ticket ticket) const {
    std::lock_guard lock(m_mutex);
    return ticket == m_newest;
}

bool LatestRenderGate::_enter(Ticket ticket) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return !m_rendering || ticket != m_newest; });
    if (ticket != m_newest) {
        return false;
    }
    m_rendering = true;
    return true;
}

void LatestRenderGate::_leave() {
    std::lock_guard lock(m_mutex);
    m_rendering = false;
    m_changed.notify_all();
}

} // namespace OndrelCli
