#pragma once

// Files by what they are rather than how they are spelt: two names are one file when they lead
// to the same file on the same device, through hard links, symbolic links, "..", bind mounts or a
// file system that ignores case. A file that is not there yet is known by its folder and its
// name in it, so a name that a render is about to create is one file with every other spelling
// of it too.

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

namespace OndrelCli {

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    std::string name; // in the folder (device, inode) for a file that is not there; else empty

    bool operator==(const FileIdentity&) const = default;
    auto operator<=>(const FileIdentity&) const = default;
};

// The file's identity; nothing when neither the file nor its folder can be found.
std::optional<FileIdentity> fileIdentity(const std::filesystem::path& file);

// Whether the two names are one file (false when either cannot be found).
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

} // namespace OndrelCli
