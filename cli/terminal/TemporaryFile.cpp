#include "cli/terminal/TemporaryFile.h"

#include "cli/core/CliError.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

namespace OndrelCli {

namespace fs = std::filesystem;

namespace {

// The longest name the folder's file system takes; the usual 255 when it does not say.
std::size_t longestName(const fs::path& folder) {
    const long most = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return most > 0 ? static_cast<std::size_t>(most) : 255;
}

// `text` cut to at most `bytes`, never inside a UTF-8 character.
std::string cut(const std::string& text, std::size_t bytes) {
    if (text.size() <= bytes) {
        return text;
    }
    while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) {
        --bytes;
    }
    return text.substr(0, bytes);
}

// ".NAME.ondrel-PID-N", NAME shortened when the whole would be too long. The number tells apart
// the temporaries of one process.
fs::path temporaryName(const fs::path& target) {
    static std::atomic<unsigned> made{0};
    const std::string suffix =
        ".ondrel-" + std::to_string(::getpid()) + "-" + std::to_string(made++);
    const std::size_t most = longestName(folderOf(target));
    const std::size_t room = most > suffix.size() + 1 ? most - suffix.size() - 1 : 0;
    return target.parent_path() / ("." + cut(target.filename().string(), room) + suffix);
}

// Creates the file anew; a name taken by something else is tried again with the next number.
fs::path createTemporary(const fs::path& target) {
    for (;;) {
        fs::path path = temporaryName(target);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) {
            throw CliError("cannot write " + quoted(target) + ": " + std::strerror(errno));
        }
    }
}

} // namespace

fs::path folderOf(const fs::path& file) {
    return file.parent_path().empty() ? fs::path(".") : file.parent_path();
}

TemporaryFile::TemporaryFile(const fs::path& target)
    : m_target(target), m_removed([&target] { return createTemporary(target); }) {}

TemporaryFile::~TemporaryFile() {
    if (!m_committed) {
        std::error_code ignored;
        fs::remove(path(), ignored);
    }
}

void TemporaryFile::commit() {
    m_removed.release([this] {
        std::error_code err;
        fs::rename(path(), m_target, err);
        if (err) {
            throw CliError("cannot write " + quoted(m_target) + ": " + err.message());
        }
    });
    m_committed = true;
}

} // namespace OndrelCli
