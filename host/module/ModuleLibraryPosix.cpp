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

ModuleLibrary::ModuleLibrary(const std::filesystem::path& file) : _file(file) {
    _handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (_handle == nullptr) {
        const char* reason = dlerror();
        throw HostError("cannot load module " + file.string() + ": " +
                        (reason != nullptr ? reason : "unknown reason"));
    }
}

ModuleLibrary::~ModuleLibrary() {
    dlclose(_handle);
}

ModuleLibrary::Function ModuleLibrary::function(const std::string& name) const {
    return reinterpret_cast<Function>(dlsym(_handle, name.c_str()));
}

std::string ModuleLibrary::recordsSource() const {
    return recordsFile(_file).string();
}

std::vector<PiplResource> ModuleLibrary::readRecords() const {
    const auto file = recordsFile(_file);
    if (!std::filesystem::exists(file)) {
        throw HostError("module " + _file.string() +
                        " has no registration records: " + file.string() + " does not exist");
    }
    return readPiplFile(file);
}

} // namespace OfflineHost
