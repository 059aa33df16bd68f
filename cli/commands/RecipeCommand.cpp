// ondrel recipe [EFFECT]: prints a recipe to start from: every parameter of the effect with its
// default, or with what a recipe and the command line set.

#include "cli/commands/Commands.h"
#include "cli/commands/ShotOptions.h"
#include "cli/shot/Shot.h"

#include <cstdio>

namespace OndrelCli {
namespace {

void printRecipe(const GlobalOptions& global, const ShotOptions& options) {
    Recipe recipe = commandLineRecipe(options, global);
    const Shot shot = resolveShot(recipe, global.module);
    const auto effect = shot.applyEffect(global);
    applyParams(*effect, shot);
    recipe.makePathsWhole(); // the recipe may be kept in any folder
    std::fputs(recipeText(completeRecipe(recipe, shot, *effect)).c_str(), stdout);
}

} // namespace

void addRecipeCommand(CLI::App& app, const GlobalOptions& global) {
    auto options = std::make_shared<ShotOptions>();
    auto* cmd = app.add_subcommand(
        "recipe", "Print a recipe (JSON) with an effect's defaults, or with what a recipe and the "
                  "flags set, to save and render with --recipe");
    addShotOptions(*cmd, *options, true);
    cmd->callback([&global, options] { printRecipe(global, *options); });
}

} // namespace OndrelCli
