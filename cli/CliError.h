#pragma once

// A mistake in what the user asked for, or a file that cannot be read or written: main prints
// the message on one line and exits with a non-zero status.

#include <filesystem>
#include <stdexcept>
#include <string>

namespace OndrelCli {

class CliError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file as messages name it: in double quotes.
inline std::string quoted(const std::filesystem::path& file) {
    return "\"" + file.string() + "\"";
}

} // namespace OndrelCli
