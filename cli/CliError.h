#pragma once

// A mistake in what the user asked for, or a file that cannot be read or written: main prints
// the message on one line and exits with a non-zero status.

#include <stdexcept>

namespace OndrelCli {

class CliError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace OndrelCli
