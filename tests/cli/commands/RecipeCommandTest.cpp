// `ondrel recipe` and `ondrel render --recipe`: a recipe to start from, renders that equal the
// same settings given as flags, flags over the recipe, and what is wrong in a recipe, one line
// naming the file and the line.

#include "tests/cli/CliTestSupport.h"

#include <fstream>

namespace {

using namespace CliTest;

class RecipeCommand : public RenderCommand {
protected:
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(folder / name) << text;
    }
};

const std::string lineEffect = "OndrelLine --size 96x54 --fps 12 --set \"Cap=Round\" "
                               "--set \"Stroke Color=#123456\" --set \"Mode=Stroke\" ";
const std::string lineFlags = lineEffect + "--depth 16 --frames 2-3 "
                                           "--set \"Point 2=80,40@0:ease,20,10@1s\" ";

TEST_F(RecipeCommand, ARecipeRendersWhatItsFlagsRender) {
    const Outcome recipe = command("recipe " + lineFlags);
    ASSERT_EQ(recipe.status, 0) << recipe.errors;
    write("shot.json", recipe.output);
    // Every parameter is there, the ones not given with their defaults.
    EXPECT_NE(recipe.output.find("\"Thickness\": 20,"), std::string::npos) << recipe.output;
    EXPECT_NE(recipe.output.find("\"Point 1\": [24, 27],"), std::string::npos) << recipe.output;
    EXPECT_NE(recipe.output.find("\"Blending Mode\": \"Normal\""), std::string::npos)
        << recipe.output;
    EXPECT_NE(recipe.output.find("{\"time\": 0, \"value\": [80, 40], \"interpolation\": \"ease\"}"),
              std::string::npos)
        << recipe.output;
    // Reading and writing it again changes nothing.
    EXPECT_EQ(command("recipe --recipe shot.json").output, recipe.output);

    ASSERT_EQ(command("render " + lineFlags + "-q -o flags.####.png").status, 0);
    ASSERT_EQ(command("render --recipe shot.json -q -o recipe.####.png").status, 0);
    for (const char* frame : {"0002", "0003"}) {
        EXPECT_EQ(bytes(std::string("recipe.") + frame + ".png"),
                  bytes(std::string("flags.") + frame + ".png"))
            << frame;
    }

    // Flags override the recipe's settings and replace a parameter's keyframes.
    ASSERT_EQ(command("render " + lineEffect +
                      "--set \"Point 2=50,50\" --depth 8 --frames 3 -q "
                      "-o flags8.png")
                  .status,
              0);
    // A name in another case still replaces the recipe's parameter.
    ASSERT_EQ(command("render --recipe shot.json --set \"point 2=50,50\" --depth 8 --frames 3 -q "
                      "-o recipe8.png")
                  .status,
              0);
    EXPECT_EQ(bytes("recipe8.png"), bytes("flags8.png"));
    EXPECT_NE(bytes("recipe8.png"), bytes("flags.0003.png"));
}

TEST_F(RecipeCommand, PathsInARecipeAreTakenFromItsFolder) {
    fs::create_directories(folder / "shot");
    write("shot/shot.json", "{\"effect\": \"OndrelCircle\", \"size\": \"40x20\", "
                            "\"output\": \"out.png\"}");
    const Outcome rendered = command("render --recipe shot/shot.json");
    ASSERT_EQ(rendered.status, 0) << rendered.errors;
    EXPECT_TRUE(fs::exists(folder / "shot/out.png"));
    // From standard input, paths are taken from the current folder.
    ASSERT_EQ(command("render --recipe - < shot/shot.json").status, 0);
    EXPECT_TRUE(fs::exists(folder / "out.png"));
}

TEST_F(RecipeCommand, MistakesNameTheRecipeAndTheLine) {
    const struct {
        const char* recipe;
        const char* message;
    } cases[] = {
        {"{\n\"effect\": \"OndrelCircle\",\n\"depth\": 12\n}",
         "ondrel: shot.json:3: expected 8, 16 or 32 (float) bits per channel"},
        {"{\"effect\": \"OndrelCircle\",\n\"params\": {\n\"Radius\": 5,\n\"Colour\": 1}}",
         "ondrel: shot.json:4: OndrelCircle has no parameter \"Colour\"; its parameters are"},
        {"{\"effect\": \"OndrelCircle\", \"params\": {\"Radius\": {\"keys\": [\n"
         "{\"time\": 0, \"value\": 5},\n{\"time\": \"1s\", \"value\": -1}]}}}",
         "ondrel: shot.json:3: at 1s: outside the valid range of \"Radius\", 0 to 3000"},
        {"{\"effect\": \"OndrelCircle\", \"params\": {\n\"Mode\": {\"interpolation\": \"ease\", "
         "\"keys\": [{\"time\": 0, \"value\": \"Fill\"}, {\"time\": 9, \"value\": 2}]}}}",
         "ondrel: shot.json:2: at 0: \"Mode\" holds each keyframe until the next: it takes hold, "
         "not ease"},
        {"{\"effect\": \"OndrelCircle\", \"params\": {\n\"Radius\": 5,\n\"radius\": 6}}",
         "ondrel: shot.json:3: \"radius\" is given twice; also as \"Radius\" at shot.json:2"},
        {"{\"effect\": \"OndrelCircle\", \"params\": {\n\"Fill Color\": [255, 0, 0, 128]}}",
         "ondrel: shot.json:2: \"Fill Color\" takes no alpha, as the host's colour controls "
         "have none"},
        {"{\"effect\": \"OndrelCircle\", \"params\": {\"Stroke Color\": {\"keys\": [\n"
         "{\"time\": 0, \"value\": \"#ffffff\"},\n{\"time\": 4, \"value\": \"#ffffff00\"}]}}}",
         "ondrel: shot.json:3: at 4: \"Stroke Color\" takes no alpha"},
        {"{\"effect\": \"OndrelCircle\",\n \"input\": \"plate.####.png\"}",
         "ondrel: shot.json:2: the file name numbers frames, so give the frames to render"},
        {"{\"params\": {}}", "ondrel: no effect: name one"},
        {"{\"effect\": \"OndrelSquare\"}", "ondrel: shot.json:1: unknown effect \"OndrelSquare\""},
        {"{\"effect\": \"OndrelCircle\" \"depth\": 8}",
         "ondrel: shot.json:1: unexpected text \"depth\""},
    };
    for (const auto& c : cases) {
        write("shot.json", c.recipe);
        const Outcome outcome = command("render --recipe shot.json -o out.png");
        EXPECT_NE(outcome.status, 0) << c.recipe;
        EXPECT_NE(outcome.errors.find(c.message), std::string::npos)
            << c.recipe << "\n -> " << outcome.errors;
        EXPECT_EQ(lines(outcome.errors), 1) << outcome.errors;
        EXPECT_EQ(files(), std::set<std::string>{"shot.json"});
    }
    const Outcome missing = command("render --recipe missing.json -o out.png");
    EXPECT_EQ(missing.errors, "ondrel: cannot read recipe \"missing.json\": no such file\n");
}

// Standard output is checked like any file: a command whose result cannot be written there
// (a full disk, here /dev/full) fails on one line, as a render whose file cannot be written does.
TEST_F(RecipeCommand, ACommandWhoseOutputCannotBeWrittenFails) {
    for (const std::string arguments :
         {"recipe OndrelCircle", "list", "params OndrelCircle", "about OndrelCircle",
          "submit OndrelCircle --frames 1-4 -o out.####.png --dry-run"}) {
        SCOPED_TRACE(arguments);
        const Outcome run = shell("('" ONDREL_CLI_PATH "' --module '" ONDREL_MODULE_PATH "' " +
                                  arguments + " > /dev/full)");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.errors, "ondrel: cannot write standard output: the disk is full\n");
    }
    // A sequence's progress lines: it stops at the first, once the frames in progress are
    // written (the next may be), and counts them.
    const Outcome sequence = shell("('" ONDREL_CLI_PATH "' --module '" ONDREL_MODULE_PATH
                                   "' render OndrelCircle --size 8x8 --frames 1-9 --jobs 1 -o "
                                   "f.####.png > /dev/full)");
    EXPECT_EQ(sequence.status, 1);
    const std::size_t whole = files().size();
    EXPECT_GE(whole, 1u);
    EXPECT_LE(whole, 2u);
    EXPECT_EQ(sequence.errors, "ondrel: frame 1: cannot write standard output: the disk is full "
                               "(" +
                                   std::to_string(whole) + " of 9 frames are whole)\n");
    // The same commands where their output can go.
    const Outcome written = command("recipe OndrelCircle");
    EXPECT_EQ(written.status, 0);
    EXPECT_NE(written.output.find("\"effect\": \"OndrelCircle\""), std::string::npos);
}

} // namespace
