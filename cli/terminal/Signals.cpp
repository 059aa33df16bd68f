#include "cli/terminal/Signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

namespace OndrelCli {
namespace {

// The files to remove; whoever ends the process keeps the mutex until it has ended, so nothing
// is released once it has started removing.
std::mutex heldMutex;
std::set<const RemovedOnSignal*> held;
std::vector<std::function<void()>*> sayings; // in the order they were made

constexpr int endingSignals[] = {SIGHUP,  SIGINT,  SIGTERM,   SIGQUIT, SIGALRM,
                                 SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU};

// Removes the held files, says the last words when `speak`, and ends the process by `signal`.
[[noreturn]] void end(int signal, bool speak) {
    heldMutex.lock();
    for (const RemovedOnSignal* file : held) {
        ::unlink(file->file().c_str());
    }
    if (speak) {
        for (const auto* say : sayings) {
            (*say)();
        }
    }
    // The default action of the same signal, delivered to this thread, ends the process.
    ::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    std::_Exit(128 + signal);
}

// Only a signal sent to the process is told of: endBySignal is called by a thread that may hold
// what the last words need, for a reader gone away, which ends quietly as other tools do.
[[noreturn]] void takeSignals(sigset_t signals) {
    int signal = 0;
    while (::sigwait(&signals, &signal) != 0) {
    }
    end(signal, true);
}

} // namespace

void handleTerminationSignals() {
    static std::once_flag once;
    std::call_once(once, [] {
        sigset_t signals;
        sigemptyset(&signals);
        for (const int signal : endingSignals) {
            struct sigaction current {};
            if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
                sigaddset(&signals, signal);
            }
        }
        ::signal(SIGPIPE, SIG_IGN);
        ::signal(SIGXFSZ, SIG_IGN);
        ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
        std::thread(takeSignals, signals).detach();
    });
}

void endBySignal(int signal) {
    end(signal, false);
}

RemovedOnSignal::RemovedOnSignal(const std::function<std::filesystem::path()>& create) {
    std::lock_guard lock(heldMutex);
    m_file = create();
    held.insert(this);
}

RemovedOnSignal::~RemovedOnSignal() {
    if (m_held) {
        std::lock_guard lock(heldMutex);
        held.erase(this);
    }
}

void RemovedOnSignal::reopen(const std::function<void()>& open) {
    std::lock_guard lock(heldMutex);
    open();
}

void RemovedOnSignal::release(const std::function<void()>& settle) {
    std::lock_guard lock(heldMutex);
    settle();
    held.erase(this);
    m_held = false;
}

SaidOnSignal::SaidOnSignal(std::function<void()> say) : m_say(std::move(say)) {
    std::lock_guard lock(heldMutex);
    sayings.push_back(&m_say);
}

SaidOnSignal::~SaidOnSignal() {
    std::lock_guard lock(heldMutex);
    sayings.erase(std::find(sayings.begin(), sayings.end(), &m_say));
}

} // namespace OndrelCli
