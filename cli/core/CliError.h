#pragma once

// A mistake in what the user asked for, or a file that cannot be read or written: main prints
// the message on one line and exits with a non-zero status, 2 for a mistake in the command line
// itself (UsageError) and 1 for anything else.

#include "cli/core/PlainText.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace OndrelCli {

class CliError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Text refused for what it says (an unknown name, a value out of range, a missing part) rather than
// a render or a file that failed. Parsers throw it for whatever text they refuse; it stays a usage
// mistake where the command line gave the text, and becomes a plain CliError where a file did
// (inContext), since the command line itself was then right.
class UsageError : public CliError {
public:
    using CliError::CliError;
};

// The refusal of what was given at `where`, as a usage mistake when the command line gave it.
[[noreturn]] inline void refuseGiven(const std::string& where, const std::string& what,
                                     bool onCommandLine) {
    if (onCommandLine) {
        throw UsageError(where + ": " + what);
    }
    throw CliError(where + ": " + what);
}

// A file as messages name it: in double quotes, on one line (shownText).
inline std::string quoted(const std::filesystem::path& file) {
    return "\"" + shownText(file.string()) + "\"";
}

// Why a file operation failed, from its errno, as a message says it: "the disk is full".
inline std::string systemReason(int error) {
    switch (error) {
    case ENOSPC:
        return "the disk is full";
#ifdef EDQUOT // POSIX; Windows has no quotas of this kind
    case EDQUOT:
        return "the disk quota is used up";
#endif
    case EFBIG:
        return "the file would pass the size limit this process may write (ulimit -f)";
    default:
        return std::strerror(error);
    }
}

// Runs `work`, putting `where` (an option, or a file and line) before the message of a CliError
// it throws, so that parsers need not know where their text came from. A UsageError stays one
// only where the command line gave the text.
template <typename Work>
auto inContext(const std::string& where, Work&& work, bool onCommandLine = true)
    -> decltype(work()) {
    try {
        return work();
    } catch (const UsageError& e) {
        refuseGiven(where, e.what(), onCommandLine);
    } catch (const CliError& e) {
        throw CliError(where + ": " + e.what());
    }
}

} // namespace OndrelCli
