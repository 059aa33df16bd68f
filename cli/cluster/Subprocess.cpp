#include "cli/cluster/Subprocess.h"

#include "cli/core/CliError.h"

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>

extern char** environ;

namespace OndrelCli {
namespace {

// A pipe whose ends are closed when it goes.
struct Pipe {
    std::array<int, 2> ends{-1, -1};

    Pipe() {
        if (::pipe(ends.data()) != 0) {
            throw CliError(std::string("cannot make a pipe: ") + std::strerror(errno));
        }
    }
    ~Pipe() {
        close(0);
        close(1);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    void close(int end) {
        if (ends[end] >= 0) {
            ::close(ends[end]);
            ends[end] = -1;
        }
    }
};

// Writes `input` to the program and reads what it says until it closes both outputs.
void exchange(Pipe& in, Pipe& out, Pipe& err, const std::string& input, ProgramResult& result) {
    std::size_t written = 0;
    if (input.empty()) {
        in.close(1);
    }
    char buffer[4096];
    while (out.ends[0] >= 0 || err.ends[0] >= 0) {
        std::array<pollfd, 3> fds{
            {{out.ends[0], POLLIN, 0}, {err.ends[0], POLLIN, 0}, {in.ends[1], POLLOUT, 0}}};
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw CliError(std::string("cannot wait for a program: ") + std::strerror(errno));
        }
        if (fds[2].revents != 0) {
            const ssize_t n = ::write(in.ends[1], input.data() + written, input.size() - written);
            written += n > 0 ? static_cast<std::size_t>(n) : 0;
            if (n < 0 || written == input.size()) {
                in.close(1); // done, or the program stopped reading
            }
        }
        for (const auto& [fd, pipe, text] :
             {std::tuple{fds[0], &out, &result.output}, std::tuple{fds[1], &err, &result.errors}}) {
            if (fd.revents != 0) {
                const ssize_t n = ::read(fd.fd, buffer, sizeof buffer);
                if (n > 0) {
                    text->append(buffer, static_cast<std::size_t>(n));
                } else if (n == 0 || errno != EINTR) {
                    pipe->close(0);
                }
            }
        }
    }
}

} // namespace

ProgramResult runProgram(const std::vector<std::string>& arguments, const std::string& input) {
    Pipe in, out, err;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.ends[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out.ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err.ends[1], STDERR_FILENO);
    for (const Pipe* p : {&in, &out, &err}) {
        posix_spawn_file_actions_addclose(&actions, p->ends[0]);
        posix_spawn_file_actions_addclose(&actions, p->ends[1]);
    }
    // The command blocks the termination signals in its threads and ignores SIGPIPE and SIGXFSZ
    // (Signals.h); the program gets them back.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t ignored;
    sigemptyset(&ignored);
    sigaddset(&ignored, SIGPIPE);
    sigaddset(&ignored, SIGXFSZ);
    posix_spawnattr_setsigdefault(&attributes, &ignored);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> argv;
    for (const auto& a : arguments) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        throw CliError("cannot run " + arguments[0] + ": " + std::strerror(spawned));
    }
    in.close(0);
    out.close(1);
    err.close(1);
    ProgramResult result;
    // A program that stops reading its input must not end this one with SIGPIPE.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    exchange(in, out, err, input, result);
    ::sigaction(SIGPIPE, &previous, nullptr);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace OndrelCli
