#include "cli/terminal/TemporaryFile.h"

#include "cli/core/CliError.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
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

// This machine's name as temporaries carry it: never a '/', and never empty.
const std::string& hostName() {
    static const std::string name = [] {
        char text[HOST_NAME_MAX + 1] = {};
        std::string host = ::gethostname(text, sizeof text - 1) == 0 ? text : "";
        for (char& c : host) {
            c = c == '/' ? '_' : c;
        }
        return host.empty() ? std::string("localhost") : host;
    }();
    return name;
}

// What comes after the target's name in its temporaries: ".ondrel-HOST-".
std::string temporaryMark() {
    return ".ondrel-" + hostName() + "-";
}

// How much of the target's name a temporary with `suffix` keeps in a folder that takes names
// of `most` bytes (a leading dot, the name, the suffix).
std::size_t room(std::size_t most, const std::string& suffix) {
    return most > suffix.size() + 1 ? most - suffix.size() - 1 : 0;
}

// ".NAME.ondrel-HOST-PID-N", NAME shortened when the whole would be too long. The number tells
// apart the temporaries of one process.
fs::path temporaryName(const fs::path& target) {
    static std::atomic<unsigned> made{0};
    const std::string suffix =
        temporaryMark() + std::to_string(::getpid()) + "-" + std::to_string(made++);
    const std::size_t keep = room(longestName(folderOf(target)), suffix);
    return target.parent_path() / ("." + cut(target.filename().string(), keep) + suffix);
}

// The process that made the temporary `name` on this host, or nothing when `name` is none of
// this host's temporaries. `stem` gets the target's name as the temporary keeps it, and
// `suffix` what follows it.
std::optional<pid_t> maker(const std::string& name, std::string& stem, std::string& suffix) {
    const std::size_t mark = name.rfind(temporaryMark());
    if (name.empty() || name[0] != '.' || mark == std::string::npos || mark < 1) {
        return std::nullopt;
    }
    const std::string numbers = name.substr(mark + temporaryMark().size());
    const std::size_t dash = numbers.find('-');
    const auto digits = [](const std::string& text) {
        return !text.empty() && text.size() < 10 &&
               text.find_first_not_of("0123456789") == std::string::npos;
    };
    if (dash == std::string::npos || !digits(numbers.substr(0, dash)) ||
        !digits(numbers.substr(dash + 1))) {
        return std::nullopt;
    }
    stem = name.substr(1, mark - 1);
    suffix = name.substr(mark);
    const pid_t pid = static_cast<pid_t>(std::stol(numbers.substr(0, dash)));
    return pid > 0 ? std::optional(pid) : std::nullopt;
}

// Whether some name in `own` makes `stem` as a temporary keeps it in `keep` bytes.
bool isOwnStem(const std::set<std::string>& own, const std::string& stem, std::size_t keep) {
    for (auto name = own.lower_bound(stem);
         name != own.end() && name->compare(0, stem.size(), stem) == 0; ++name) {
        if (cut(*name, keep) == stem) {
            return true;
        }
    }
    return false;
}

// Creates the file anew; a name taken by something else is tried again with the next number.
fs::path createTemporary(const fs::path& target, const fs::path& name, int& descriptor) {
    for (;;) {
        fs::path path = temporaryName(target);
        descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) {
            return path;
        }
        if (errno != EEXIST) {
            throw CliError("cannot write " + quoted(name) + ": " + systemReason(errno));
        }
    }
}

// Gives the file at `descriptor` the mode, owner and group of `replaced`, when it is a file:
// owner and group only where the process may set them (as a user, a file of someone else's
// becomes the user's, without set-user or set-group rights).
void keepProtection(int descriptor, const fs::path& replaced) {
    struct stat old {};
    if (::stat(replaced.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) {
        return;
    }
    mode_t mode = old.st_mode & 07777;
    if (::fchown(descriptor, old.st_uid, old.st_gid) != 0 &&
        ::fchown(descriptor, static_cast<uid_t>(-1), old.st_gid) != 0) {
        mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
    }
    ::fchmod(descriptor, mode);
}

// Makes a rename in `folder` durable. File systems that cannot sync a folder say so with
// EINVAL; their renames are as durable as they make them.
int syncFolder(const fs::path& folder) {
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        return errno;
    }
    const int failed = ::fsync(descriptor) != 0 && errno != EINVAL ? errno : 0;
    ::close(descriptor);
    return failed;
}

} // namespace

fs::path folderOf(const fs::path& file) {
    return file.parent_path().empty() ? fs::path(".") : file.parent_path();
}

fs::path linkedFile(const fs::path& file) {
    fs::path end = file;
    std::error_code err;
    // As many links as the system follows itself; past them the name fails when it is opened.
    for (int links = 0; links < 40 && fs::is_symlink(fs::symlink_status(end, err)); ++links) {
        const fs::path to = fs::read_symlink(end, err);
        if (err) {
            break;
        }
        end = to.is_absolute() ? to : end.parent_path() / to;
    }
    return end;
}

TemporaryFile::TemporaryFile(const fs::path& target)
    : m_name(target), m_target(linkedFile(target)),
      m_removed([this] { return createTemporary(m_target, m_name, m_descriptor); }) {}

TemporaryFile::~TemporaryFile() {
    if (!m_committed) {
        std::error_code ignored;
        fs::remove(path(), ignored);
    }
    ::close(m_descriptor);
}

void TemporaryFile::commit() {
    const auto failed = [this](const std::string& what, int error) {
        return CliError("cannot write " + quoted(m_name) + ": " + what + systemReason(error));
    };
    if (::fsync(m_descriptor) != 0) {
        throw failed("", errno);
    }
    keepProtection(m_descriptor, m_target);
    m_removed.release([&] {
        if (::rename(path().c_str(), m_target.c_str()) != 0) {
            throw failed("", errno);
        }
    });
    m_committed = true;
    if (const int error = syncFolder(folderOf(m_target))) {
        throw failed("the frame is in place, but its folder cannot be synced: ", error);
    }
}

void removeLeftoverTemporaries(const std::vector<fs::path>& targets) {
    std::map<fs::path, std::set<std::string>> own; // names, by folder
    for (const fs::path& target : targets) {
        const fs::path file = linkedFile(target);
        own[folderOf(file)].insert(file.filename().string());
    }
    std::vector<std::string> removed;
    for (const auto& [folder, names] : own) {
        const std::size_t most = longestName(folder);
        std::error_code err;
        for (fs::directory_iterator entry(folder, err), end; !err && entry != end;
             entry.increment(err)) {
            std::string stem;
            std::string suffix;
            const auto pid = maker(entry->path().filename().string(), stem, suffix);
            // A process of this host that is gone; one that cannot be signalled is alive.
            if (!pid || ::kill(*pid, 0) == 0 || errno != ESRCH ||
                !isOwnStem(names, stem, room(most, suffix))) {
                continue;
            }
            std::error_code gone;
            if (fs::remove(entry->path(), gone)) {
                removed.push_back(quoted(entry->path()));
            }
        }
    }
    if (removed.empty()) {
        return;
    }
    std::string line = "ondrel: removed " + std::to_string(removed.size()) +
                       (removed.size() == 1 ? " temporary file" : " temporary files") +
                       " left by processes of this host that have ended: ";
    for (std::size_t i = 0; i < removed.size() && i < 3; ++i) {
        line += (i > 0 ? ", " : "") + removed[i];
    }
    if (removed.size() > 3) {
        line += " and " + std::to_string(removed.size() - 3) + " more";
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}

} // namespace OndrelCli
