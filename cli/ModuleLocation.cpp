#include "cli/ModuleLocation.h"

#include <system_error>

namespace OndrelCli {

std::filesystem::path defaultModule() {
    namespace fs = std::filesystem;
    std::error_code error;
    // The kernel's link names the executable itself, with every symbolic link on the way resolved.
    const fs::path command = fs::read_symlink("/proc/self/exe", error);
    const fs::path folder = error ? fs::path() : command.parent_path();
    const fs::path installed = (folder / ONDREL_MODULE_FROM_INSTALLED_COMMAND).lexically_normal();
    for (const fs::path& candidate :
         {installed, (folder / ONDREL_MODULE_FROM_BUILT_COMMAND).lexically_normal()}) {
        if (fs::exists(candidate, error)) {
            return candidate;
        }
    }
    return installed;
}

} // namespace OndrelCli
