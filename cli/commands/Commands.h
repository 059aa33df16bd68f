#pragma once

// The subcommands of ondrel. Each lives in a file of its own and adds itself to the app with
// its add...Command function; main.cpp calls them all.

#include "cli/core/Effects.h"

#include <CLI/CLI.hpp>

namespace OndrelCli {

void addListCommand(CLI::App& app, const GlobalOptions& options);
void addAboutCommand(CLI::App& app, const GlobalOptions& options);
void addParamsCommand(CLI::App& app, const GlobalOptions& options);
void addRenderCommand(CLI::App& app, const GlobalOptions& options);
void addRecipeCommand(CLI::App& app, const GlobalOptions& options);
void addSubmitCommand(CLI::App& app, const GlobalOptions& options);
void addServeCommand(CLI::App& app, const GlobalOptions& options);

} // namespace OndrelCli
