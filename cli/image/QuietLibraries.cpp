#include "cli/image/QuietLibraries.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <mutex>

namespace OndrelCli {
namespace {

std::mutex mutex;
int active = 0;            // QuietLibraries alive
int realStderr = -1;       // while any is
std::FILE* held = nullptr; // what stderr received meanwhile

bool fromLibrary(const char* line) {
    return std::strncmp(line, "libpng ", 7) == 0;
}

} // namespace

QuietLibraries::QuietLibraries() {
    std::lock_guard lock(mutex);
    if (active++ > 0) {
        return;
    }
    std::fflush(stderr);
    held = std::tmpfile();
    realStderr = held != nullptr ? ::dup(STDERR_FILENO) : -1;
    if (realStderr < 0 || ::dup2(::fileno(held), STDERR_FILENO) < 0) {
        // Without a file to hold it, stderr stays as it is.
        if (realStderr >= 0) {
            ::close(realStderr);
            realStderr = -1;
        }
    }
}

QuietLibraries::~QuietLibraries() {
    std::lock_guard lock(mutex);
    if (--active > 0) {
        return;
    }
    if (realStderr >= 0) {
        std::fflush(stderr);
        ::dup2(realStderr, STDERR_FILENO);
        ::close(realStderr);
        realStderr = -1;
        std::rewind(held);
        char line[4096];
        while (std::fgets(line, sizeof line, held) != nullptr) {
            if (!fromLibrary(line)) {
                std::fputs(line, stderr);
            }
        }
    }
    if (held != nullptr) {
        std::fclose(held);
        held = nullptr;
    }
}

} // namespace OndrelCli
