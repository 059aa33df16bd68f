#pragma once

// Each effect of the built module, loaded through the offline host.

#include "ModuleFiles.h"

#include "host/instance/EffectInstance.h"
#include "host/module/Module.h"

#include <memory>
#include <string_view>

inline std::shared_ptr<const OfflineHost::Module> loadedModule() {
    static const auto module = std::make_shared<const OfflineHost::Module>(ModuleFiles::module());
    return module;
}

// An instance in strict mode, before any command.
inline std::unique_ptr<OfflineHost::EffectInstance> strictEffect(std::string_view name) {
    auto instance = std::make_unique<OfflineHost::EffectInstance>(loadedModule(), name);
    instance->setStrict(true);
    return instance;
}

// An instance after global set-up and parameter set-up, as the host has it when the user applies
// the effect, in strict mode.
inline std::unique_ptr<OfflineHost::EffectInstance> appliedEffect(std::string_view name) {
    auto instance = strictEffect(name);
    if (instance->globalSetup() != PF_Err_NONE || instance->paramsSetup() != PF_Err_NONE) {
        throw std::runtime_error("cannot apply " + std::string(name));
    }
    instance->diagnostics().clearCalls();
    return instance;
}
