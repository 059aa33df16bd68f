// Recipe files: what is read from them and where, writing them back, flags overriding them, and
// one line naming the file, the line and the fault for each kind of malformed recipe.

#include "cli/shot/Recipe.h"
#include "cli/commands/ShotOptions.h"
#include "cli/core/CliError.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace OndrelCli;
using OfflineHost::Interpolation;

namespace {

const char* const shot = R"({
  "effect": "OndrelCircle",
  "input": "plates/plate.####.exr",
  "module": "/opt/ondrel/OndrelShapes.so",
  "depth": 16,
  "fps": "30000/1001",
  "frames": "1-48",
  "params": {
    "Radius": 150,
    "Center": [960, 540.5],
    "Mode": "Fill and Stroke",
    "Scale": {"interpolation": "ease", "keys": [
      {"time": 0, "value": 50},
      {"time": "2s", "value": 100, "interpolation": "hold"}
    ]}
  }
}
)";

Recipe parse(const std::string& text) {
    return parseRecipe(text, "shot.json", "/work/shots");
}

std::string refusal(const std::string& text) {
    try {
        parse(text);
    } catch (const CliError& e) {
        return e.what();
    }
    return "(accepted)";
}

} // namespace

TEST(Recipe, ReadsSettingsAndTracksWithTheirLines) {
    const Recipe recipe = parse(shot);
    EXPECT_EQ(recipe.setting("effect")->text, "OndrelCircle");
    EXPECT_EQ(recipe.setting("effect")->origin, "shot.json:2");
    // Relative paths are taken from the recipe's folder.
    EXPECT_EQ(recipe.setting("input")->text, "/work/shots/plates/plate.####.exr");
    EXPECT_EQ(recipe.setting("module")->text, "/opt/ondrel/OndrelShapes.so");
    EXPECT_EQ(recipe.setting("depth")->text, "16");
    EXPECT_EQ(recipe.setting("fps")->origin, "shot.json:6");
    EXPECT_EQ(recipe.setting("size"), nullptr);

    ASSERT_EQ(recipe.params.size(), 4u);
    EXPECT_EQ(recipe.params[0].name, "Radius");
    EXPECT_EQ(trackText(recipe.params[0].track), "150");
    EXPECT_EQ(trackText(recipe.params[1].track), "960,540.5");
    EXPECT_EQ(recipe.params[1].origin, "shot.json:10");
    EXPECT_EQ(trackText(recipe.params[2].track), "Fill and Stroke");
    const RecipeParam& scale = recipe.params[3];
    EXPECT_EQ(scale.track.interpolation, Interpolation::Ease);
    EXPECT_EQ(trackText(scale.track), "50@0,100@2s:hold");
    EXPECT_EQ(scale.keyOrigins, (std::vector<std::string>{"shot.json:13", "shot.json:14"}));
}

TEST(Recipe, WritesWhatItReadsBack) {
    const Recipe recipe = parse(shot);
    const std::string text = recipeText(recipe);
    const Recipe again = parseRecipe(text, "again.json", "/elsewhere");
    // Paths were made whole on the first reading, so they do not move.
    EXPECT_EQ(again.setting("input")->text, "/work/shots/plates/plate.####.exr");
    ASSERT_EQ(again.settings.size(), recipe.settings.size());
    for (const auto& [field, setting] : recipe.settings) {
        EXPECT_EQ(again.setting(field)->text, setting.text) << field;
    }
    ASSERT_EQ(again.params.size(), recipe.params.size());
    for (std::size_t i = 0; i < recipe.params.size(); ++i) {
        EXPECT_EQ(again.params[i].name, recipe.params[i].name);
        EXPECT_EQ(trackText(again.params[i].track), trackText(recipe.params[i].track));
        EXPECT_EQ(again.params[i].track.interpolation, recipe.params[i].track.interpolation);
    }
    // Points and colours as lists of numbers, the rest as numbers or text.
    EXPECT_NE(text.find("\"Center\": [960, 540.5]"), std::string::npos) << text;
    EXPECT_NE(text.find("\"depth\": 16,"), std::string::npos) << text;
    EXPECT_NE(text.find("{\"time\": \"2s\", \"value\": 100, \"interpolation\": \"hold\"}"),
              std::string::npos)
        << text;
    EXPECT_EQ(recipeText(again), text);
}

TEST(Recipe, LaterSettingsAndWholeTracksOverrideEarlierOnes) {
    Recipe recipe = parse(shot);
    Recipe flags;
    flags.settings["depth"] = {"32", "--depth"};
    flags.settings["size"] = {"640x360", "--size"};
    flags.param("Scale").track = parseTrack("75");
    flags.param("Opacity").track = parseTrack("0@0,100@24");
    recipe.override(flags);
    EXPECT_EQ(recipe.setting("depth")->text, "32");
    EXPECT_EQ(recipe.setting("depth")->origin, "--depth");
    EXPECT_EQ(recipe.setting("size")->text, "640x360");
    EXPECT_EQ(recipe.setting("effect")->text, "OndrelCircle");
    ASSERT_EQ(recipe.params.size(), 5u);
    EXPECT_EQ(recipe.params[3].name, "Scale");
    EXPECT_EQ(trackText(recipe.params[3].track), "75");
    EXPECT_FALSE(recipe.params[3].track.interpolation);
    EXPECT_EQ(recipe.params[4].name, "Opacity");
}

// The bytes a parameter keeps for its keys, their values and where each was given.
std::size_t keptBytes(const RecipeParam& param) {
    std::size_t bytes = param.name.capacity() + param.origin.capacity() +
                        param.keyOrigins.capacity() * sizeof(std::string) +
                        param.track.keys.capacity() * sizeof(Keyframe);
    for (const std::string& origin : param.keyOrigins) {
        bytes += origin.capacity();
    }
    for (const Keyframe& key : param.track.keys) {
        bytes += key.value.capacity();
    }
    return bytes;
}

// Keys given in one --set cost what the same keys cost in a recipe, beside the one copy of the
// --set's text that says where they came from: a copy for each key costs the square of their
// number.
TEST(Recipe, KeysInOneSetCostNoMoreThanInARecipe) {
    constexpr int keys = 2000;
    std::string track;
    std::string json = "{\"effect\": \"OndrelCircle\", \"params\": {\"Radius\": {\"keys\": [\n";
    for (int n = 0; n < keys; ++n) {
        const std::string value = std::to_string(n % 3000);
        track += (n > 0 ? "," : "") + value + "@" + std::to_string(n);
        json += std::string(n > 0 ? ",\n" : "") + "{\"time\": " + std::to_string(n) +
                ", \"value\": " + value + "}";
    }
    json += "]}}}\n";
    const Recipe fromFile = parse(json);
    ShotOptions options;
    options.effect = "OndrelCircle";
    options.assignments = {"Radius=" + track};
    const Recipe fromSet = commandLineRecipe(options, GlobalOptions{});
    ASSERT_EQ(fromSet.params.size(), 1u);
    ASSERT_EQ(fromSet.params[0].track.keys.size(), static_cast<std::size_t>(keys));
    EXPECT_EQ(trackText(fromSet.params[0].track), trackText(fromFile.params[0].track));
    EXPECT_LE(keptBytes(fromSet.params[0]), keptBytes(fromFile.params[0]) + 2 * track.size());
}

TEST(Recipe, EachKindOfMalformedRecipeNamesItsLine) {
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {"", "shot.json:1: the text ends before the JSON does"},
        {"{\n  \"effect\": \"OndrelCircle\"\n  \"depth\": 8\n}",
         "shot.json:3: unexpected text \"depth\""},
        {"{\n  \"depth\": 8,\n}", "shot.json:3: unexpected \"}\""},
        {"{\"effect\": \"a\nb\"}", "shot.json:1: text in quotes holds a line break"},
        {"{\n\"depth\": 1e309}", "shot.json:2: the number 1e309 is beyond the range of numbers"},
        {"[1, 2]", "shot.json:1: a recipe is a JSON object"},
        {"{\n\"depth\": 8,\n\"depth\": 16}", "shot.json:3: \"depth\" is given twice"},
        {"{\n\n \"fsp\": 24}",
         "shot.json:3: \"fsp\" is not a recipe field; the fields are effect, module, input"},
        {"{\"size\": [640, 360]}", "shot.json:1: \"size\" takes a number or text"},
        {"{\"effect\": 7}", "shot.json:1: \"effect\" takes text"},
        {"{\"params\": [1]}", "shot.json:1: \"params\" is an object"},
        {"{\"params\": {\n\"Center\": [[1, 2]]}}",
         "shot.json:2: a value is a number, text, true or false, or a list of numbers"},
        {"{\"params\": {\n\"Radius\": {\"keys\": []}}}", "shot.json:2: keyframes need \"keys\""},
        {"{\"params\": {\"Radius\": {\"keys\": [\n{\"value\": 1}]}}}",
         "shot.json:2: a keyframe is {\"time\": ..., \"value\": ...}"},
        {"{\"params\": {\"Radius\": {\"keys\": [\n{\"time\": 0,\n \"value\": 1, \"ease\": 1}]}}}",
         "shot.json:3: \"ease\" is not part of a keyframe"},
        {"{\"params\": {\"Radius\": {\"keys\": [\n{\"time\": \"soon\", \"value\": 1}]}}}",
         "shot.json:2: no time \"soon\""},
        {"{\"params\": {\"Radius\": {\"keys\": [{\"time\": [1], \"value\": 1}]}}}",
         "shot.json:1: a time is a frame number"},
        {"{\"params\": {\"Radius\": {\n\"interpolation\": \"bounce\", \"keys\": [1]}}}",
         "shot.json:2: no interpolation \"bounce\""},
        {"{\"params\": {\"Radius\": {\"keys\": [{\"time\": 0, \"value\": 1}],\n\"speed\": 2}}}",
         "shot.json:2: \"speed\" is not part of keyframes"},
        // What JSON has not, named where it is: a comment, a NUL byte (which once ended the
        // recipe there, the rest ignored) and text after the recipe.
        {"{\n  // the hero's circle\n  \"effect\": \"OndrelCircle\"}",
         "shot.json:2: a comment \"// the hero's circle\", which JSON does not have"},
        {"{\"effect\": \"OndrelCircle\"}\n" + std::string(1, '\0') + "{\"depth\": 16}",
         "shot.json:2: a NUL byte (character 0) in column 1"},
        {"{\"effect\":\n \"Ondrel" + std::string(1, '\0') + "Circle\"}",
         "shot.json:2: a NUL byte (character 0) in column 9"},
        {"{\"effect\": \"OndrelCircle\"}\n/* the hero */",
         "shot.json:2: more text after the end of the JSON: a comment \"/* the hero */\", which "
         "JSON does not have"},
        {"{\"effect\": \"OndrelCircle\"}\n{\"depth\": 16}",
         "shot.json:2: more text after the end of the JSON: \"{\""},
    };
    for (const auto& c : cases) {
        const std::string message = refusal(c.text);
        EXPECT_EQ(message.rfind(c.message, 0), 0u) << c.text << "\n -> " << message;
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 0) << message;
    }
}
