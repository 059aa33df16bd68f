#include "cli/commands/ShotOptions.h"

#include "cli/core/CliError.h"
#include "cli/core/Text.h"
#include "cli/render/FileIdentity.h"

#include <map>

namespace OndrelCli {
namespace {

struct Flag {
    const char* field;
    const char* names;
    const char* help;
};

constexpr Flag settingFlags[] = {
    {"input", "-i,--input",
     "Image file to render over, or a sequence such as plate.####.exr (default: a built-in "
     "layer)"},
    {"size", "--size", "WIDTHxHEIGHT of the built-in layer (default 1920x1080)"},
    {"depth", "--depth", "Bits per channel: 8, 16 or 32 (float) (default 8)"},
    {"fps", "--fps", "Frames per second: 24, 25, 29.97, 30000/1001, ... (default 24)"},
    {"frames", "--frames",
     "Frames to render, such as 1-240 or 1-10,20; the output then names a sequence"},
    {"downsample", "--downsample",
     "X[:Y]: render at 1/X (and 1/Y vertically) of full resolution; fractions A/B also work"},
    {"compression", "--compression",
     "How the output is compressed, always without loss: fast (default), default (the format "
     "library's own), small or none; OpenEXR also takes rle, zip, zips, piz and zip:1 to zip:9, "
     "TIFF lzw, zip, zip:1 to zip:9 and packbits"},
};

std::pair<std::string, std::string> nameAndValue(const std::string& text, const char* flag,
                                                 const char* expected) {
    const auto equals = text.find('=');
    if (equals == std::string::npos) {
        throw UsageError(std::string(flag) + " " + inQuotes(text) + ": expected " + expected);
    }
    return {trim(std::string_view(text).substr(0, equals)),
            trim(std::string_view(text).substr(equals + 1))};
}

} // namespace

void addShotOptions(CLI::App& command, ShotOptions& options, bool withOutput) {
    command.add_option("EFFECT", options.effect,
                       "Effect name or match name (default: the recipe's)");
    command.add_option("--recipe", options.recipe,
                       "A recipe file (JSON) with every setting; '-' reads standard input. The "
                       "flags below override it");
    if (withOutput) {
        command.add_option("-o,--output", options.settings["output"],
                           "Image file to write, or a sequence such as out.####.exr (or "
                           "out.%04d.exr); the format follows the name (.png, .tif, .exr, ...)");
    }
    for (const Flag& flag : settingFlags) {
        command.add_option(flag.names, options.settings[flag.field], flag.help);
    }
    command.get_option("--size")->excludes(command.get_option("--input"));
    command
        .add_option("--set", options.assignments,
                    "NAME=VALUE: a parameter by its own name, e.g. \"Radius=150\", "
                    "\"Center=960,540\" (layer pixels), \"Fill Color=#ff8800\", \"Mode=Fill "
                    "and Stroke\"; or keyframes VALUE@TIME[:linear|hold|ease],... with TIME a "
                    "frame or seconds (2s), e.g. \"Radius=0@0,200@2s:hold\"; may be repeated")
        ->allow_extra_args(false);
    command
        .add_option("--interpolation", options.interpolations,
                    "NAME=linear|hold|ease: how a parameter's keyframes move on where they do "
                    "not say; may be repeated")
        ->allow_extra_args(false);
}

Recipe commandLineRecipe(const ShotOptions& options, const GlobalOptions& global) {
    Recipe recipe = options.recipe ? readRecipe(*options.recipe) : Recipe{};
    // Loading a module runs its code: only the user's own command line chooses one.
    if (const Setting* named = recipe.setting("module");
        named != nullptr && !global.moduleGiven && !sameFile(named->text, global.module)) {
        throw CliError(named->origin + ": the recipe names the module " + inQuotes(named->text) +
                       ", and ondrel loads no module a file names; to load it, give --module " +
                       inQuotes(named->text));
    }
    Recipe flags;
    if (!options.effect.empty()) {
        flags.settings["effect"] = {options.effect, "EFFECT", true};
    }
    if (global.moduleGiven) {
        flags.settings["module"] = {global.module.string(), "--module", true};
    }
    for (const auto& [field, text] : options.settings) {
        if (!text.empty()) {
            const std::string flag = field == "input"    ? "-i"
                                     : field == "output" ? "-o"
                                                         : "--" + field;
            flags.settings[field] = {text, flag + " " + inQuotes(text), true};
        }
    }
    for (const auto& assignment : options.assignments) {
        const std::string origin = "--set " + inQuotes(assignment);
        const auto [name, value] = nameAndValue(assignment, "--set", "NAME=VALUE");
        if (const RecipeParam* earlier = flags.named(name)) {
            throw UsageError(origin + ": " + inQuotes(earlier->name) + " is already set to " +
                             inQuotes(trackText(earlier->track)) +
                             "; set a parameter once, its keyframes as VALUE@TIME,...");
        }
        RecipeParam& param = flags.param(name);
        param.track = inContext(origin, [&] { return parseTrack(value); });
        // Every key was given here: the param's origin serves them all, where a copy of the
        // whole text for each key would cost the square of their number.
        param.origin = origin;
        param.onCommandLine = true;
    }
    recipe.override(flags);
    std::map<std::string, std::string> interpolated; // by parameter, the --interpolation given
    for (const auto& text : options.interpolations) {
        const std::string origin = "--interpolation " + inQuotes(text);
        const auto [name, kind] =
            nameAndValue(text, "--interpolation", "NAME=linear, NAME=hold or NAME=ease");
        const auto interpolation = inContext(origin, [&] { return parseInterpolation(kind); });
        RecipeParam* param = recipe.named(name);
        if (param == nullptr) {
            throw UsageError(origin + ": " + inQuotes(name) +
                             " has no values to move between; "
                             "set its keyframes with --set");
        }
        if (const auto [earlier, added] = interpolated.emplace(lower(name), text); !added) {
            throw UsageError(origin + ": " + inQuotes(param->name) +
                             " already has --interpolation " + inQuotes(earlier->second) +
                             "; give it once");
        }
        param->track.interpolation = interpolation;
    }
    return recipe;
}

} // namespace OndrelCli
