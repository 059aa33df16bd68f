#include "cli/terminal/StandardOutput.h"

#include "cli/core/CliError.h"
#include "cli/terminal/Signals.h"

#include <cerrno>
#include <csignal>
#include <cstdio>

namespace OndrelCli {
namespace {

// `failed` says whether the stream's writes failed; errno says why, when it still knows.
void check(bool failed) {
    if (!failed) {
        return;
    }
    const int error = errno != 0 ? errno : EIO;
    if (error == EPIPE) {
        endBySignal(SIGPIPE);
    }
    throw CliError("cannot write standard output: " + systemReason(error));
}

} // namespace

void flushStandardOutput() {
    errno = 0;
    check(std::fflush(stdout) != 0 || std::ferror(stdout) != 0);
}

void closeStandardOutput() {
    flushStandardOutput();
    errno = 0;
    check(std::fclose(stdout) != 0);
}

} // namespace OndrelCli
