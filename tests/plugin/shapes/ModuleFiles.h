#pragma once

// Where the build put the module and the files generated beside it.

#include <filesystem>

namespace ModuleFiles {

inline std::filesystem::path module() {
    return ONDREL_MODULE_PATH;
}

// The module's path with another extension: ".pipl", ".rc", ".rsrc".
inline std::filesystem::path beside(const char* extension) {
    return std::filesystem::path(module()).replace_extension(extension);
}

} // namespace ModuleFiles
