#pragma once

// The operating system's part of loading a module: the library itself, its exported functions
// and its registration records, from wherever the platform keeps them. One source file per
// platform implements it.

#include "host/module/Pipl.h"

#include <filesystem>
#include <string>
#include <vector>

namespace OfflineHost {

class ModuleLibrary {
public:
    // Any exported function; callers cast it to the function's own type.
    using Function = void (*)();

    // Loads the library; throws HostError naming the file and the system's reason.
    explicit ModuleLibrary(const std::filesystem::path& file);
    ~ModuleLibrary();

    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;

    // The exported function of this name, or null.
    Function function(const std::string& name) const;

    // Where the records come from, for messages: the records file beside a Linux or macOS
    // library, or the library's own resources on Windows.
    std::string recordsSource() const;

    // Every "PIPL" resource with its id and language. Throws HostError naming the library when
    // it has no records at all or they cannot be parsed.
    std::vector<PiplResource> readRecords() const;

private:
    std::filesystem::path m_file;
    void* m_handle = nullptr;
};

} // namespace OfflineHost
