#include "cli/terminal/Progress.h"

#include <unistd.h>

#include <cstdio>

namespace OndrelCli {

namespace {

constexpr auto moment = std::chrono::seconds(1);

} // namespace

Progress::Progress(std::string what)
    : m_what(std::move(what)), m_start(std::chrono::steady_clock::now()) {
    if (::isatty(STDERR_FILENO) != 0) {
        m_watcher = std::thread([this] { _watch(); });
    }
}

Progress::~Progress() {
    {
        std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_finished.notify_all();
    if (m_watcher.joinable()) {
        m_watcher.join();
    }
    if (m_shown) {
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - m_start;
        std::fprintf(stderr, " %.1f s\n", took.count());
    }
}

void Progress::_watch() {
    std::unique_lock lock(m_mutex);
    if (!m_finished.wait_for(lock, moment, [this] { return m_done; })) {
        std::fprintf(stderr, "ondrel: %s...", m_what.c_str());
        std::fflush(stderr);
        m_shown = true;
    }
}

} // namespace OndrelCli
