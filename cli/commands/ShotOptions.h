#pragma once

// The options that say what to render, shared by `ondrel render`, `ondrel recipe` and
// `ondrel submit`: an effect, a recipe, and flags that override the recipe's settings.

#include "cli/commands/Commands.h"
#include "cli/shot/Recipe.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace OndrelCli {

struct ShotOptions {
    std::string effect;
    std::optional<std::filesystem::path> recipe;
    std::vector<std::string> assignments;    // --set NAME=VALUE or NAME=KEYFRAMES
    std::vector<std::string> interpolations; // --interpolation NAME=KIND
    // Settings by recipe field, as given: input, output, size, depth, fps, frames, downsample.
    std::map<std::string, std::string> settings;
};

// Adds EFFECT, --recipe, --set, --interpolation and the settings' flags (-o only when asked).
void addShotOptions(CLI::App& command, ShotOptions& options, bool withOutput);

// The recipe (when one is given) with the command line over it: the effect, --module, every
// setting's flag and whole parameter tracks from --set. Throws CliError.
Recipe commandLineRecipe(const ShotOptions& options, const GlobalOptions& global);

} // namespace OndrelCli
