#pragma once

// Renders asked for by a stream of changes (a slider being dragged), run one at a time with only
// the newest one wanted. A request superseded while it waits for the render in progress is
// dropped at once, without rendering; a render superseded while it runs sees it through
// isNewest() and stops at its next step (the preview interrupts the module between bands), and
// its result is dropped. So nothing ever waits in line behind the render in progress except the
// newest request, and a render slower than the next change never reaches the screen late.

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace OndrelCli {

class LatestRenderGate {
public:
    using Ticket = std::uint64_t;

    // The newest request from now on; every earlier ticket is superseded.
    Ticket take();

    // Runs `render` once no other render runs, unless the ticket is superseded first. Returns
    // whether the ticket is still the newest after the render, that is whether its result is
    // wanted; false without calling `render` when it was superseded while waiting. Exceptions
    // from `render` pass through, leaving the gate open.
    template <typename Render>
    bool run(Ticket ticket, Render&& render) {
        if (!_enter(ticket)) {
            return false;
        }
        struct Leave {
            LatestRenderGate& gate;
            ~Leave() { gate._leave(); }
        } leave{*this};
        render();
        return isNewest(ticket);
    }

    bool isNewest(Ticket ticket) const;

private:
    bool _enter(Ticket ticket);
    void _leave();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    Ticket m_newest = 0;
    bool m_rendering = false;
};

} // namespace OndrelCli
