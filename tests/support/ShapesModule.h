// The built module (ONDREL_MODULE_PATH), loaded once through the offline host, and instances of
// its effects.
#pragma once

#include "host/instance/EffectInstance.h"
#include "host/module/Module.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace TestSupport {

inline std::shared_ptr<const OfflineHost::Module> shapesModule() {
    static const auto module = std::make_shared<const OfflineHost::Module>(ONDREL_MODULE_PATH);
    return module;
}

// An instance in strict mode, before any command.
inline std::unique_ptr<OfflineHost::EffectInstance> strictEffect(std::string_view name) {
    auto instance = std::make_unique<OfflineHost::EffectInstance>(shapesModule(), name);
    instance->setStrict(true);
    return instance;
}

// An instance after global set-up and parameter set-up, as the host has it once the user applied
// the effect, with an empty call log, in strict mode.
inline std::unique_ptr<OfflineHost::EffectInstance> appliedEffect(std::string_view name) {
    auto instance = strictEffect(name);
    if (instance->globalSetup() != PF_Err_NONE || instance->paramsSetup() != PF_Err_NONE) {
        throw std::runtime_error("cannot apply " + std::string(name));
    }
    instance->diagnostics().clearCalls();
    return instance;
}

} // namespace TestSupport
