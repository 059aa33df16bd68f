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

} // namespace

ModuleLibrary::ModuleLibrary(const std::filesystem::path& file) : m_file(file) {
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
        throw HostError("module " + m_file.string() +
                        " has no registration records: " + file.string() + " does not exist");
    }
    return readPiplFile(file);
}

} // namespace OfflineHost
