// ondrel recipe [EFFECT]: prints a recipe to start from: every parameter of the effect with its
// default, or with what a recipe and the command line set.

#include "Commands.h"
#include "ParamText.h"
#include "Shot.h"
#include "ShotOptions.h"

#include <algorithm>
#include <cstdio>

namespace OndrelCli {
namespace {

void printRecipe(const GlobalOptions& global, const ShotOptions& options) {
    Recipe recipe = commandLineRecipe(options, global);
    const Shot shot = resolveShot(recipe, global.module);
    const auto effect = applyEffect(shot.effectOptions(global), shot.effect, true);
    applyParams(*effect, shot);
    // The settings a render would use, then every parameter: the ones given keep their keyframes
    // as written; the others show their default at full resolution on the built-in layer's size.
    writeDefaults(recipe, shot);
    recipe.makePathsWhole(); // the recipe may be kept in any folder
    Recipe ordered;
    ordered.settings = recipe.settings;
    OfflineHost::Frame frame;
    frame.layerWidth = shot.width;
    frame.layerHeight = shot.height;
    for (int i = 1; i < effect->paramCount(); ++i) {
        const PF_ParamDef& def = effect->paramDef(i);
        if (def.param_type == PF_Param_GROUP_START || def.param_type == PF_Param_GROUP_END) {
            continue;
        }
        const auto given = std::find_if(recipe.params.begin(), recipe.params.end(),
                                        [&](const RecipeParam& p) { return p.name == def.name; });
        if (given != recipe.params.end()) {
            ordered.params.push_back(*given);
        } else {
            ordered.param(def.name).track = parseTrack(deliveredText(effect->valueAt(i, frame)));
        }
    }
    std::fputs(recipeText(ordered).c_str(), stdout);
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
