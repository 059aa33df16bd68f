// What loading a library as a module says: the message of the HostError it throws.
#pragma once

#include "host/module/Module.h"
#include "host/system/HostError.h"

#include <filesystem>
#include <string>

namespace TestSupport {

// Empty when the library loads.
inline std::string loadError(const std::filesystem::path& library) {
    try {
        OfflineHost::Module module(library);
    } catch (const OfflineHost::HostError& e) {
        return e.what();
    }
    return "";
}

} // namespace TestSupport
