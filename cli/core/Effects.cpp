#include "cli/core/Effects.h"

#include "cli/core/CliError.h"
#include "cli/core/PlainText.h"
#include "cli/core/Text.h"

#include "host/system/HostError.h"

#include <algorithm>
#include <vector>

namespace OndrelCli {

std::shared_ptr<const OfflineHost::Module> loadModule(const GlobalOptions& options) {
    checkPlainText(options.module.string(), "--module " + quoted(options.module));
    // A bare name would have the loader search the system's library folders instead.
    return std::make_shared<const OfflineHost::Module>(std::filesystem::absolute(options.module));
}

std::unique_ptr<OfflineHost::EffectInstance>
applyEffect(const GlobalOptions& options, const std::string& effect, bool withParams) {
    const auto module = loadModule(options);
    const auto& effects = module->effects();
    const bool known = std::any_of(effects.begin(), effects.end(), [&](const auto& e) {
        return e.records().name == effect || e.records().matchName == effect;
    });
    if (!known) {
        std::vector<std::string> names;
        for (const auto& e : effects) {
            names.push_back(e.records().name);
        }
        throw UsageError(
            "unknown effect \"" + effect + "\"" +
            suggestingThen(nearestName(effect, names), "the module holds " + joined(names)));
    }
    auto instance = std::make_unique<OfflineHost::EffectInstance>(module, effect);
    instance->setStrict(options.strict);
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
