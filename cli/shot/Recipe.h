#pragma once

// A recipe: everything a render needs, as a JSON file that `ondrel render --recipe` reads, that
// `ondrel recipe` writes and that command-line flags override.
//
//   {
//     "effect": "OndrelCircle",
//     "module": "OndrelShapes.so",          relative paths start from the recipe's folder
//     "input": "plate.####.exr",            without it, the built-in layer of "size"
//     "output": "out.####.exr",
//     "size": "1920x1080", "depth": 16, "fps": 24, "frames": "1-48", "downsample": "1",
//     "params": {
//       "Radius": 150,
//       "Center": [960, 540],
//       "Fill Color": "#ff8800",
//       "Mode": "Fill and Stroke",
//       "Scale": {"interpolation": "ease", "keys": [
//         {"time": 0, "value": 50},
//         {"time": "2s", "value": 100, "interpolation": "hold"}
//       ]}
//     }
//   }
//
// Every setting takes what the flag of the same name takes. A parameter is one value (a number,
// text, or a list of numbers for points and colours) or keyframes (see Keyframes.h). Nothing is
// checked against an effect here: the settings and values keep where they were written, so
// that whoever checks them can say so.

#include "cli/params/Keyframes.h"
#include "cli/shot/JsonDocument.h"

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace OndrelCli {

// Text as given, with where it was given: "--size" or "shot.json:4".
struct Setting {
    std::string text;
    std::string origin;
    bool onCommandLine = false; // else read from a recipe
};

struct RecipeParam {
    std::string name;
    ParamTrack track;
    std::string origin;
    std::vector<std::string> keyOrigins; // one per keyframe, or none: each key's is `origin`
    bool onCommandLine = false;          // else read from a recipe
};

struct Recipe {
    // By field name: effect, module, input, output, size, depth, fps, frames, downsample.
    std::map<std::string, Setting> settings;
    std::vector<RecipeParam> params;           // in the order given, each name once
    std::optional<std::filesystem::path> file; // the file it was read from, if any

    const Setting* setting(const std::string& field) const;
    // The other recipe's settings, and its parameters (whole tracks), replace these.
    void override(const Recipe& other);
    // The parameter of that name in any case, as effects match names, or null.
    RecipeParam* named(const std::string& name);
    // Module, input and output as absolute paths, for a recipe read elsewhere.
    void makePathsWhole();
    // The parameter of that name, added when missing.
    RecipeParam& param(const std::string& name);
};

// The fields a recipe holds besides "params".
const std::vector<std::string>& recipeFields();

// Reads a recipe from `file` ("-" is standard input). Relative paths in it are taken from the
// file's folder, and kept whole. Throws CliError "FILE:LINE: what is wrong" for anything malformed.
Recipe readRecipe(const std::filesystem::path& file);
// The same from text; `name` stands for the file in messages and `folder` resolves paths.
Recipe parseRecipe(std::string_view text, const std::string& name,
                   const std::filesystem::path& folder);

// What messages call the place of a value in a recipe, given its JSON pointer ("/params/Radius")
// and the value there: "FILE:LINE" for a file; a page names the control instead.
using RecipeOrigins = std::function<std::string(const Json::json_pointer&, const Json&)>;
// The same from JSON already read, each value's place named by `originOf`.
Recipe readRecipeJson(const Json& root, const RecipeOrigins& originOf,
                      const std::filesystem::path& folder);

// The recipe as JSON text that parseRecipe reads back as the same recipe.
std::string recipeText(const Recipe& recipe);

} // namespace OndrelCli
