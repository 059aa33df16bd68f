// An offline host instance with one open command context, for calling Layer and SourceInfo
// directly, plus small helpers over its call log.
#pragma once

#include "host/instance/EffectInstance.h"

#include <algorithm>
#include <string_view>

namespace LayerTests {

class HostFixture {
protected:
    OfflineHost::EffectInstance m_host{nullptr};
    OfflineHost::EffectInstance::Context m_context = m_host.context();

    PF_InData* in() { return m_context.in(); }
    PF_OutData* out() { return m_context.out(); }

    long callCount(std::string_view name) const {
        const auto calls = m_host.diagnostics().calls();
        return std::count_if(calls.begin(), calls.end(),
                             [name](const OfflineHost::CallRecord& c) { return c.name == name; });
    }
};

// The integer a suite handler throws for a suite it cannot supply; -1 when nothing was thrown.
template <typename F>
int thrownCode(F&& f) {
    try {
        f();
    } catch (int code) {
        return code;
    }
    return -1;
}

} // namespace LayerTests
