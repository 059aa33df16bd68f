#include "Commands.h"

#include "host/HostError.h"

namespace OndrelCli {

std::shared_ptr<const OfflineHost::Module> loadModule(const GlobalOptions& options) {
    return std::make_shared<const OfflineHost::Module>(options.module);
}

std::unique_ptr<OfflineHost::EffectInstance>
applyEffect(const GlobalOptions& options, const std::string& effect, bool withParams) {
    auto instance = std::make_unique<OfflineHost::EffectInstance>(loadModule(options), effect);
    if (const PF_Err err = instance->globalSetup()) {
        throw OfflineHost::HostError(effect + ": global set-up failed with error " +
                                     std::to_string(err));
    }
    if (withParams) {
        if (const PF_Err err = instance->paramsSetup()) {
            throw OfflineHost::HostError(effect + ": parameter set-up failed with error " +
                                         std::to_string(err));
        }
    }
    return instance;
}

} // namespace OndrelCli
