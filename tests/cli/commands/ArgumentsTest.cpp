// Mistakes on the command line: each is refused on one line naming it, with a non-zero status,
// before anything is written.

#include "tests/cli/CliTestSupport.h"

#include "host/system/SystemLimits.h"

#include <map>

namespace {

using namespace CliTest;

using Arguments = RenderCommand;

TEST_F(Arguments, EffectsAndParametersAreCheckedByName) {
    expectRefused("NoSuchEffect -o out.png",
                  "unknown effect \"NoSuchEffect\"; the module holds OndrelCircle, OndrelLine, "
                  "OndrelRectangle, OndrelTriangle");
    expectRefused("OndrelCircle -o out.png --set \"Colour=#ff0000\"",
                  "OndrelCircle has no parameter \"Colour\"; its parameters are \"Radius\", "
                  "\"Center\"");
    expectRefused("OndrelCircle -o out.png --set Transform=1", "has no parameter \"Transform\"");
    expectRefused("OndrelCircle -o out.png --set Radius", "expected NAME=VALUE");
}

TEST_F(Arguments, ValuesAreCheckedAgainstTheirParameters) {
    expectRefused("OndrelCircle -o out.png --set Radius=3000.5",
                  "outside the valid range of \"Radius\", 0 to 3000");
    expectRefused("OndrelCircle -o out.png --set Opacity=-1",
                  "outside the valid range of \"Opacity\", 0 to 100");
    expectRefused("OndrelCircle -o out.png --set Radius=big", "\"Radius\" takes a number");
    expectRefused("OndrelCircle -o out.png --set \"Mode=Outline\"",
                  "no such item of \"Mode\"; its items are 1 Fill, 2 Stroke, 3 Fill and Stroke");
    expectRefused("OndrelCircle -o out.png --set \"Blending Mode=(-\"",
                  "no such item of \"Blending Mode\"");
    expectRefused("OndrelCircle -o out.png --set \"Center=10\"", "takes a point X,Y");
    expectRefused("OndrelCircle -o out.png --set \"Fill Color=#12345\"", "takes a colour");
}

// The host's colour controls have no alpha: an alpha other than full is refused, wherever it is
// written, rather than drawn opaque.
TEST_F(Arguments, ColoursTakeNoAlpha) {
    const std::string refusal =
        "\"Fill Color\" takes no alpha, as the host's colour controls have none: give #rrggbb "
        "or R,G,B";
    expectRefused("OndrelCircle -o out.png --set \"Fill Color=#ff000000\"",
                  "--set \"Fill Color=#ff000000\": " + refusal);
    expectRefused("OndrelCircle -o out.png --set \"Fill Color=#ff0000fe\"", refusal);
    expectRefused("OndrelCircle -o out.png --set \"Fill Color=255,0,0,128\"", refusal);
    expectRefused("OndrelCircle -o out.####.png --frames 1 --set "
                  "\"Fill Color=#ff0000@0,#00ff0080@4\"",
                  "--set \"Fill Color=#ff0000@0,#00ff0080@4\": at 4: " + refusal);
    // A full alpha says nothing more than the colour alone.
    for (const char* opaque : {"#00ff00", "#00FF00ff", "0,255,0,255"}) {
        const Outcome run =
            ondrel(std::string("OndrelCircle -o c.png --size 40x20 --set Radius=5 ") +
                   "--set \"Fill Color=" + opaque + "\"");
        ASSERT_EQ(run.status, 0) << run.errors;
        expectPixel(read("c.png"), 20, 10, {0, 1, 0, 1}, 0);
    }
}

// "Exclution" is the module's own text, which the host shows; "Exclusion" is taken too, in any
// case, and chooses the same item.
TEST_F(Arguments, PopupsTakeTheUsualSpellingOfTheirItems) {
    std::string exclution;
    for (const char* item : {"Exclution", "Exclusion", "EXCLUSION", "28"}) {
        const Outcome run =
            ondrel(std::string("OndrelRectangle -o r.png --size 40x20 ") +
                   "--set \"Fill Color=#4080c0\" --set \"Blending Mode=" + item + "\"");
        ASSERT_EQ(run.status, 0) << item << ": " << run.errors;
        if (exclution.empty()) {
            exclution = bytes("r.png");
        }
        EXPECT_EQ(bytes("r.png"), exclution) << item;
    }
    ASSERT_EQ(
        ondrel("OndrelRectangle -o normal.png --size 40x20 --set \"Fill Color=#4080c0\"").status,
        0);
    EXPECT_NE(bytes("normal.png"), exclution);
    expectRefused("OndrelCircle -o out.png --set \"Blending Mode=Exclusio\"",
                  "27 Classic Difference, 28 Exclution (or Exclusion), 30 Hue,");
}

// CLI11's own words are replaced by the command's: the option, what was given and what it takes.
TEST_F(Arguments, NumericOptionsSayWhatTheyTake) {
    const struct {
        const char* arguments;
        const char* message;
    } cases[] = {
        {"render OndrelCircle -o out.png --jobs 0", "--jobs 0: expected 1 or more frames at once"},
        {"render OndrelCircle -o out.png --jobs two", "--jobs two: expected 1 or more frames"},
        {"render OndrelCircle -o out.png --jobs 99999999999", "--jobs 99999999999: expected 1"},
        {"render OndrelCircle -o out.png --threads 1.5",
         "--threads 1.5: expected 0 (one per processor) or a number of threads"},
        {"submit OndrelCircle --frames 1-4 -o out.####.png --chunk 0",
         "--chunk 0: expected 1 or more frames per task"},
        {"submit OndrelCircle --frames 1-4 -o out.####.png --cpus-per-task -2",
         "--cpus-per-task -2: expected 1 or more processors per task"},
        {"serve --port 70000", "--port 70000: expected 0 (any free port) to 65535"},
        {"serve --port http", "--port http: expected 0 (any free port) to 65535"},
        {"render OndrelCircle -o out.png --set Scale=2e6",
         "--set \"Scale=2e6\": outside the valid range of \"Scale\", -1000000 to 1000000"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = command(c.arguments);
        EXPECT_NE(outcome.status, 0) << c.arguments;
        EXPECT_EQ(outcome.errors.rfind(std::string("ondrel: ") + c.message, 0), 0u)
            << c.arguments << "\n -> " << outcome.errors;
        EXPECT_EQ(lines(outcome.errors), 1) << outcome.errors;
        EXPECT_EQ(files(), std::set<std::string>{});
    }
}

// A second value for the same thing is refused, naming both, rather than the last one kept.
TEST_F(Arguments, ASettingGivenTwiceIsRefusedNamingBothValues) {
    expectRefused("OndrelCircle -o out.png --set Radius=5 --set Radius=6",
                  "--set \"Radius=6\": \"Radius\" is already set to \"5\"; set a parameter once, "
                  "its keyframes as VALUE@TIME,...");
    expectRefused("OndrelCircle -o out.png --set radius=5@0,6@2 --set RADIUS=7",
                  "--set \"RADIUS=7\": \"radius\" is already set to \"5@0,6@2\"");
    expectRefused("OndrelCircle -o out.####.png --frames 1 --set Radius=1@0,2@3 "
                  "--interpolation Radius=ease --interpolation radius=hold",
                  "--interpolation \"radius=hold\": \"Radius\" already has --interpolation "
                  "\"Radius=ease\"; give it once");
    expectRefused("OndrelCircle -o out.png --size 8x8 --size 9x9",
                  "--size is given twice, \"8x8\" and \"9x9\"; give it once");
    expectRefused("OndrelCircle -o a.png -o b.png",
                  "--output is given twice, \"a.png\" and \"b.png\"");
    // A popup holds each keyframe until the next.
    expectRefused("OndrelCircle -o out.####.png --frames 1-2 --set \"Mode=Fill@1:linear,Stroke@2\"",
                  "--set \"Mode=Fill@1:linear,Stroke@2\": at 1: \"Mode\" holds each keyframe until "
                  "the next: it takes hold, not linear");
}

TEST_F(Arguments, RenderOptionsAreChecked) {
    expectRefused("OndrelCircle -o out.png --depth 12", "--depth");
    expectRefused("OndrelCircle -o out.png --downsample 0", "--downsample \"0\"");
    expectRefused("OndrelCircle -o out.png --size 0x10", "--size \"0x10\"");
    write<unsigned char>("in.png", 1, 1, 4, OIIO::TypeDesc::UINT8, {1, 2, 3, 4});
    expectRefused("OndrelCircle -i in.png --size 10x10 -o out.png", "excludes");
    // A rate the host cannot count in, refused before a frame renders, and never written into a
    // recipe to be refused later.
    for (const char* rate : {"0.004", "1/1000000"}) {
        expectRefused(std::string("OndrelCircle -o out.####.png --frames 1-2 --fps ") + rate,
                      std::string("--fps \"") + rate +
                          "\": expected frames per second: a number "
                          "from 1 to 1000");
        expectCommandRefused(std::string("recipe OndrelCircle --fps ") + rate, "--fps");
    }
}

// Names ignore case as popup items do; an item is chosen by its number, but a separator is no
// item.
TEST_F(Arguments, ParameterNamesIgnoreCaseAndSeparatorsAreNoChoice) {
    const Outcome run = ondrel("OndrelCircle -o c.png --size 100x60 --set \"radius=10\" "
                               "--set \"CENTER=50,30\" --set \"fill color=#00ff00\" "
                               "--set \"blending mode=1\"");
    ASSERT_EQ(run.status, 0) << run.errors;
    const Image image = read("c.png");
    expectPixel(image, 50, 30, {0, 1, 0, 1}, 0);
    expectPixel(image, 50 + 11, 30, {0, 0, 0, 0}, 0); // item 1, "None": the shape alone

    expectRefused("OndrelCircle -o out.png --set \"Blending Mode=2\"",
                  "item 2 of \"Blending Mode\" is a separator; its items are 1 None, 3 Normal, ");
}

// A refusal lists each item with the number that chooses it, separators counted: the number
// shown renders what the item's name renders, and no number shown is a separator's.
TEST_F(Arguments, RefusedPopupsListTheNumberEachItemTakes) {
    const Outcome refused = ondrel("OndrelCircle -o out.png --set \"Blending Mode=Shiny\"");
    const std::string marker = "its items are ";
    const auto list = refused.errors.find(marker);
    ASSERT_NE(list, std::string::npos) << refused.errors;
    std::istringstream items(refused.errors.substr(list + marker.size()));
    std::map<std::string, int> numbers;
    std::set<int> taken;
    for (std::string item; std::getline(items, item, ',');) {
        std::istringstream words(item);
        int number = 0;
        ASSERT_TRUE(words >> number) << item;
        std::string name;
        std::getline(words >> std::ws, name);
        numbers[name.substr(0, name.find(" (or "))] = number;
        taken.insert(number);
    }
    // 33 numbers, six of them separators: after None, Normal, the darkening, lightening, light
    // and difference modes.
    EXPECT_EQ(numbers.size(), 27u);
    EXPECT_EQ(taken.size(), 27u);
    EXPECT_EQ(*taken.rbegin(), 33);
    for (const int separator : {2, 4, 10, 17, 25, 29}) {
        EXPECT_EQ(taken.count(separator), 0u) << separator;
    }
    const auto render = [&](const std::string& item, const char* file) {
        const Outcome run = ondrel(std::string("OndrelCircle --size 24x16 --set Radius=6 -o ") +
                                   file + " --set \"Blending Mode=" + item + "\"");
        EXPECT_EQ(run.status, 0) << item << ": " << run.errors;
        return bytes(file);
    };
    for (const char* item : {"Normal", "Multiply", "Difference", "Exclution"}) {
        SCOPED_TRACE(item);
        ASSERT_EQ(numbers.count(item), 1u);
        EXPECT_EQ(render(std::to_string(numbers[item]), "by-number.png"),
                  render(item, "by-name.png"));
    }
    EXPECT_NE(render("Multiply", "multiply.png"), render("Difference", "difference.png"));
}

TEST_F(Arguments, ThreadCountsAndTimesAreChecked) {
    expectRefused("OndrelCircle -o out.png --threads -1",
                  "--threads -1: expected 0 (one per processor) or a number of threads");
    // Never more than half of what the largest thread limit leaves.
    expectRefused("OndrelCircle -o out.png --threads 2000000000",
                  "--threads 2000000000: this machine can start no more than ");
    // The host counts time in 32 bits of 1/600 s, and a frame lasts 1/30 s.
    const std::string range = "expected seconds from -3579139 to 3579139";
    expectRefused("OndrelCircle -o out.png --time 1e300", "--time 1e300: " + range);
    expectRefused("OndrelCircle -o out.png --time -3579140", "--time -3579140: " + range);
    expectRefused("OndrelCircle -o out.png --time nan", "--time nan: " + range);
    const Outcome last = ondrel("OndrelCircle -o out.png --size 8x8 --time 3579139");
    EXPECT_EQ(last.status, 0) << last.errors;
}

// A layer whose pixels would not fit is refused before any is set aside: the layer, and at the
// frame's size the host's scaled-down input, the output and the drawing layer, 16 bytes a pixel
// in float.
TEST_F(Arguments, LayersBeyondTheMemoryThereIsAreRefused) {
    constexpr double needed = 30000.0 * 30000.0 * 16 * 4;
    if (static_cast<double>(OfflineHost::usableMemory()) < needed) {
        expectRefused("OndrelCircle -o out.exr --size 30000x30000 --depth 32",
                      "--size 30000x30000 at 32 bits needs about 57.6 GB of memory for its "
                      "pixels, more than the ");
    }
#if !defined(__SANITIZE_ADDRESS__) // the sanitizer reserves more address space than this
    // Under a limit of 4 GiB of address space, 20000x20000 at 8 bits needs 4 x 1.6 GB.
    limits = "ulimit -v 4194304 &&";
    expectRefused("OndrelCircle -o out.png --size 20000x20000",
                  "--size 20000x20000 at 8 bits needs about 6.4 GB of memory for its pixels, "
                  "more than the 4.3 GB this process may use");
#endif
}

TEST_F(Arguments, ARefusalLeavesAnEarlierOutputAsItWas) {
    std::ofstream(folder / "keep.png") << "an earlier result";
    expectRefused("OndrelCircle -o keep.png --set Radius=-5", "outside the valid range");
    std::ifstream kept(folder / "keep.png");
    std::string text;
    std::getline(kept, text);
    EXPECT_EQ(text, "an earlier result");
}

} // namespace
