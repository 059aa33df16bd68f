#include "cli/render/FileIdentity.h"

#include <sys/stat.h>

namespace OndrelCli {

namespace fs = std::filesystem;

std::optional<FileIdentity> fileIdentity(const fs::path& file) {
    struct stat status {};
    if (::stat(file.c_str(), &status) == 0) {
        return FileIdentity{status.st_dev, status.st_ino, {}};
    }
    // Not there (or a link to nowhere, which a write would replace by a file of that name).
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    if (file.filename().empty() || ::stat(folder.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{status.st_dev, status.st_ino, file.filename().string()};
}

bool sameFile(const fs::path& a, const fs::path& b) {
    const auto first = fileIdentity(a);
    return first && first == fileIdentity(b);
}

} // namespace OndrelCli
