// What an instance's call log says of the calls of one name.
#pragma once

#include "host/instance/EffectInstance.h"

#include <string>
#include <string_view>
#include <vector>

namespace TestSupport {

inline int callCount(const OfflineHost::EffectInstance& instance, std::string_view name) {
    int n = 0;
    for (const auto& call : instance.diagnostics().calls()) {
        n += call.name == name ? 1 : 0;
    }
    return n;
}

// The parameter index each call of this name was given ("index=N" in its detail), in call order.
inline std::vector<int> paramIndices(const OfflineHost::EffectInstance& instance,
                                     std::string_view name) {
    std::vector<int> indices;
    for (const auto& call : instance.diagnostics().calls()) {
        const auto at = call.detail.find("index=");
        if (call.name == name && at != std::string::npos) {
            indices.push_back(std::stoi(call.detail.substr(at + 6)));
        }
    }
    return indices;
}

} // namespace TestSupport
