#pragma once

// A render's settings once checked: what a recipe and the command line ask for together, ready
// for the offline host.

#include "cli/core/Effects.h"
#include "cli/core/Frames.h"
#include "cli/image/Compression.h"
#include "cli/shot/FramePattern.h"
#include "cli/shot/Recipe.h"

#include "host/instance/EffectInstance.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace OndrelCli {

struct Shot {
    std::string effect;
    std::string effectOrigin;         // where it was named, for a refusal
    bool effectOnCommandLine = false; // else named by a recipe
    std::filesystem::path module;
    std::optional<FramePattern> input; // none: the built-in layer
    A_long width = 1920;               // the built-in layer's size
    A_long height = 1080;
    std::optional<FramePattern> output;
    std::string compression = defaultCompression; // of the output (Compression.h)
    OfflineHost::PixelDepth depth = OfflineHost::PixelDepth::Bits8;
    FrameRate rate;
    PF_RationalScale downsampleX{1, 1};
    PF_RationalScale downsampleY{1, 1};
    std::vector<int> frames; // none: one frame at `seconds`
    double seconds = 0.0;
    std::vector<RecipeParam> params;
    std::optional<std::filesystem::path> recipeFile; // read, when the recipe came from a file

    bool isSequence() const { return !frames.empty(); }
    // The host's frame for frame n of the sequence, or for the single frame.
    OfflineHost::Frame hostFrame(std::optional<int> n) const;
    // The shot's effect from its module, its parameters set up but not yet given their values.
    std::unique_ptr<OfflineHost::EffectInstance> applyEffect(const GlobalOptions& global) const;
};

// Checks every setting of the recipe, naming where a wrong one was given ("--size: ...",
// "shot.json:4: ..."). `module` is the module when the recipe names none. Throws CliError.
Shot resolveShot(const Recipe& recipe, const std::filesystem::path& module);

// Checks that the shot's files fit together: a sequence writes to a file-name pattern and a
// single frame reads no sequence. Throws CliError.
void checkOutputs(const Shot& shot);

// Writes into the recipe the settings it leaves to their defaults: the built-in layer's size
// (without an input), the depth and the rate, as the shot has them.
void writeDefaults(Recipe& recipe, const Shot& shot);

// Sets every parameter's values over time on an instance of the shot's effect. Throws CliError
// naming where a wrong name or value was given.
void applyParams(OfflineHost::EffectInstance& effect, const Shot& shot);

// The recipe with every setting a render of the shot uses (the built-in layer's size unless the
// shot has an input, the depth and the rate) and every parameter of the effect: the ones the
// recipe gives keep their keyframes as written, the others show their default at full resolution
// on the built-in layer's size.
Recipe completeRecipe(const Recipe& recipe, const Shot& shot,
                      const OfflineHost::EffectInstance& effect);

} // namespace OndrelCli
