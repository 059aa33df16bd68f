// An offline host instance with one open command context, for calling the module's code (layers,
// drawers, source info) directly, as a command would.
#pragma once

#include "host/instance/EffectInstance.h"

namespace TestSupport {

class HostFixture {
protected:
    OfflineHost::EffectInstance m_host{nullptr};
    OfflineHost::EffectInstance::Context m_context = m_host.context();

    PF_InData* in() { return m_context.in(); }
    PF_OutData* out() { return m_context.out(); }
};

} // namespace TestSupport
