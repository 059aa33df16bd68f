#pragma once

// A line on stderr for work that takes more than a moment: nothing if the work ends within a
// second, else "ondrel: WHAT..." and, when it ends, the time it took. Only on a terminal.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace OndrelCli {

class Progress {
public:
    explicit Progress(std::string what);
    // Ends the line if it was shown.
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

private:
    void _watch();

    std::string m_what;
    std::chrono::steady_clock::time_point m_start;
    std::mutex m_mutex;
    std::condition_variable m_finished;
    bool m_done = false;
    bool m_shown = false;
    std::thread m_watcher;
};

} // namespace OndrelCli
