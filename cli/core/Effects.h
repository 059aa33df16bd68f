#pragma once

// The module a command works with and its effects as the host has them once the user applies
// one: what every part of the command that renders needs, apart from how options are parsed.

#include "host/instance/EffectInstance.h"
#include "host/module/Module.h"

#include <filesystem>
#include <memory>
#include <string>

namespace OndrelCli {

// Options every subcommand shares.
struct GlobalOptions {
    std::filesystem::path module;
    // The offline host checks the module as the tests do (EffectInstance::setStrict).
    bool strict = false;
    bool moduleGiven = false; // on the command line, so that it overrides a recipe's
};

// The module named by the options, loaded through the offline host.
std::shared_ptr<const OfflineHost::Module> loadModule(const GlobalOptions& options);

// An effect of the module after global set-up (and parameter set-up when asked), as the host
// has it once the user applies it; in strict mode when the options say so. Throws CliError,
// listing the module's effects, when it has no effect of that name.
std::unique_ptr<OfflineHost::EffectInstance>
applyEffect(const GlobalOptions& options, const std::string& effect, bool withParams);

} // namespace OndrelCli
