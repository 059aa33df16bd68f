#pragma once

// The subcommands of ondrel. Each lives in a file of its own and adds itself to the app with
// its add...Command function; main.cpp calls them all.

#include "host/EffectInstance.h"
#include "host/Module.h"

#include <CLI/CLI.hpp>

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

// An effect of the module after global set-up (throws CliError, listing the module's effects,
// when it has no effect of that name) (and parameter set-up when asked), as the host
// has it once the user applies it; in strict mode when the options say so.
std::unique_ptr<OfflineHost::EffectInstance>
applyEffect(const GlobalOptions& options, const std::string& effect, bool withParams);

void addListCommand(CLI::App& app, const GlobalOptions& options);
void addAboutCommand(CLI::App& app, const GlobalOptions& options);
void addParamsCommand(CLI::App& app, const GlobalOptions& options);
void addRenderCommand(CLI::App& app, const GlobalOptions& options);
void addRecipeCommand(CLI::App& app, const GlobalOptions& options);
void addSubmitCommand(CLI::App& app, const GlobalOptions& options);
void addServeCommand(CLI::App& app, const GlobalOptions& options);

} // namespace OndrelCli
