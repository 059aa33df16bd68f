#include "host/module/Module.h"

#include "host/module/ModuleLibrary.h"
#include "host/system/HostError.h"

namespace OfflineHost {

Module::Module(const std::filesystem::path& library)
    : m_path(library), m_library(std::make_unique<ModuleLibrary>(library)) {
    const std::string source = m_library->recordsSource();
    for (auto& resource : m_library->readRecords()) {
        const auto& records = resource.records;
        if (records.kind != fourCC("eFKT")) {
            continue;
        }
        if (records.entryPoint.empty()) {
            throw HostError("registration records " + source + " of effect '" + records.name +
                            "' name no entry point ('8664')");
        }
        const auto function = m_library->function(records.entryPoint);
        if (function == nullptr) {
            throw HostError("module " + library.string() + " does not export the entry point '" +
                            records.entryPoint + "' that the records of effect '" + records.name +
                            "' name");
        }
        m_effects.push_back(Effect{std::move(resource), reinterpret_cast<EntryFunction>(function)});
    }
    if (m_effects.empty()) {
        throw HostError("registration records " + source + " of module " + library.string() +
                        " hold no effect");
    }
}

Module::~Module() = default;

const Module::Effect& Module::effect(std::string_view name) const {
    for (const auto& e : m_effects) {
        if (e.records().name == name || e.records().matchName == name) {
            return e;
        }
    }
    throw HostError("module " + m_path.string() + " has no effect named '" + std::string(name) +
                    "'");
}

} // namespace OfflineHost
