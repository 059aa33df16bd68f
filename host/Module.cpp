#include "Module.h"

#include "HostError.h"

#include <dlfcn.h>

namespace OfflineHost {

Module::Module(const std::filesystem::path& library) : _path(library) {
    _library = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (_library == nullptr) {
        const char* reason = dlerror();
        throw HostError("cannot load module " + library.string() + ": " +
                        (reason != nullptr ? reason : "unknown reason"));
    }
    try {
        auto recordsFile = library;
        recordsFile.replace_extension(".pipl");
        if (!std::filesystem::exists(recordsFile)) {
            throw HostError("module " + library.string() + " has no registration records: " +
                            recordsFile.string() + " does not exist");
        }
        for (auto& resource : readPiplFile(recordsFile)) {
            const auto& records = resource.records;
            if (records.kind != fourCC("eFKT")) {
                continue;
            }
            if (records.entryPoint.empty()) {
                throw HostError("registration records " + recordsFile.string() + " of effect '" +
                                records.name + "' name no entry point ('8664')");
            }
            void* symbol = dlsym(_library, records.entryPoint.c_str());
            if (symbol == nullptr) {
                throw HostError("module " + library.string() +
                                " does not export the entry point '" + records.entryPoint +
                                "' that the records of effect '" + records.name + "' name");
            }
            _effects.push_back(
                Effect{std::move(resource), reinterpret_cast<EntryFunction>(symbol)});
        }
        if (_effects.empty()) {
            throw HostError("registration records " + recordsFile.string() + " of module " +
                            library.string() + " hold no effect");
        }
    } catch (...) {
        dlclose(_library);
        throw;
    }
}

Module::~Module() {
    dlclose(_library);
}

const Module::Effect& Module::effect(std::string_view name) const {
    for (const auto& e : _effects) {
        if (e.records().name == name || e.records().matchName == name) {
            return e;
        }
    }
    throw HostError("module " + _path.string() + " has no effect named '" + std::string(name) +
                    "'");
}

} // namespace OfflineHost
