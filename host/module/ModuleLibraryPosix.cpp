// Linux and macOS: the library through dlopen, its records in the file beside it with the same
// name and the extension ".pipl".

#include "host/module/ModuleLibrary.h"

#include "host/system/HostError.h"

#include <dlfcn.h>

namespace OfflineHost {
namespace {

std::filesystem::path recordsFile(const std::filesystem::path& library) {
    auto file = library;
    file.replace_extension(".pipl");
    return file;
}

HostError missingRecords(const std::filesystem::path& library) {
    return HostError("module " + library.string() + " has no registration records: " +
                     recordsFile(library).string() + " does not exist");
}

} // namespace

ModuleLibrary::ModuleLibrary(const std::filesystem::path& file) : m_file(file) {
    // Loading a library runs its code: a file without the records of a module is not loaded.
    if (std::filesystem::exists(file) && !std::filesystem::exists(recordsFile(file))) {
        throw missingRecords(file);
    }
    m_handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr) {
        const char* reason = dlerror();
        throw HostError("cannot load module " + file.string() + ": " +
                        (reason != nullptr ? reason : "unknown reason"));
    }
}

ModuleLibrary::~ModuleLibrary() {
    dlclose(m_handle);
}

ModuleLibrary::Function ModuleLibrary::function(const std::string& name) const {
    return reinterpret_cast<Function>(dlsym(m_handle, name.c_str()));
}

std::string ModuleLibrary::recordsSource() const {
    return recordsFile(m_file).string();
}

std::vector<PiplResource> ModuleLibrary::readRecords() const {
    const auto file = recordsFile(m_file);
    if (!std::filesystem::exists(file)) {
        throw missingRecords(m_file);
    }
    return readPiplFile(file);
}

} // namespace OfflineHost
