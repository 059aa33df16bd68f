// The preview service's answers without HTTP: requests it refuses (each naming what is wrong),
// files it never opens for the page, the module's graying and failures, the recipe it saves, and
// recipe files (the server's --recipe, one the page opens) as the page's work.

#include "cli/serve/PreviewService.h"
#include "cli/shot/Recipe.h"

#include "ProbeProtocol.h"

#include "host/pixels/World.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using OndrelCli::Json;
using OndrelCli::PreviewService;
using OndrelCli::ServeError;

OndrelCli::GlobalOptions optionsFor(const char* module) {
    OndrelCli::GlobalOptions options{module};
    options.strict = true;
    return options;
}

Json circle(Json params = Json::object()) {
    return Json{{"recipe", {{"effect", "OndrelCircle"}, {"size", "64x36"}, {"params", params}}}};
}

// The status and message a request is refused with.
template <typename Call>
std::pair<int, std::string> refusal(Call&& call) {
    try {
        call();
    } catch (const ServeError& e) {
        return {e.status, e.what()};
    }
    return {0, "not refused"};
}

class PreviewServiceTest : public ::testing::Test {
protected:
    PreviewService service{optionsFor(ONDREL_MODULE_PATH), std::nullopt};
};

TEST_F(PreviewServiceTest, NeverOpensAFileThePageNames) {
    for (const char* field : {"module", "input", "output"}) {
        Json request = circle();
        request["recipe"][field] = "/etc/passwd";
        const auto [status, what] = refusal([&] { service.preview(request); });
        EXPECT_EQ(status, 400) << field;
        EXPECT_NE(what.find(std::string("\"") + field + "\" names a file"), std::string::npos)
            << what;
        EXPECT_EQ(refusal([&] { service.recipe(request); }).first, 400) << field;
    }
}

TEST_F(PreviewServiceTest, RefusesBadRequestsNamingWhatIsWrong) {
    const auto with = [](const char* member, Json value) {
        Json request = circle();
        request[member] = std::move(value);
        return request;
    };
    const std::pair<Json, std::string> cases[] = {
        {Json::array(), "a request is"},
        {Json{{"recipe", "OndrelCircle"}}, "a request is"},
        {Json{{"recipe", {{"effect", "OndrelSquare"}}}},
         "no effect \"OndrelSquare\"; the module holds OndrelCircle"},
        // Mistakes in what the user set are named by the control they set it with.
        {Json{{"recipe", {{"effect", "OndrelCircle"}, {"depth", 12}}}},
         "Depth: expected 8, 16 or 32"},
        {Json{{"recipe", {{"effect", "OndrelCircle"}, {"size", "0x10"}}}},
         "Size: expected WIDTHxH"},
        {Json{{"recipe", {{"effect", "OndrelCircle"}, {"fps", "fast"}}}}, "Frame rate: "},
        {Json{{"recipe", {{"effect", "OndrelCircle"}, {"params", {{"Radius", "big"}}}}}},
         "Radius: \"Radius\" takes a number"},
        {Json{{"recipe",
               {{"effect", "OndrelCircle"},
                {"params", {{"Radius", {{"keys", {{{"time", 3}, {"value", 5000}}}}}}}}}}},
         "Radius: at 3: outside the valid range of \"Radius\", 0 to 3000"},
        {Json{{"recipe", {{"effect", "OndrelCircle"}, {"params", {{"Mode", "(-"}}}}}},
         "no such item of \"Mode\""},
        {Json{{"recipe", {{"effect", "OndrelCircle"}, {"params", {{"Sides", 5}}}}}},
         "no parameter \"Sides\""},
        {with("frame", 1.5), "\"frame\" is a whole frame number"},
        {with("frame", 100000000), "\"frame\" is a whole frame number"},
        {with("background", "input"), "no input to preview over"},
        {with("background", "white"), "\"background\" is"},
        {with("downsample", 0), "\"downsample\" is a whole number from 1 to 64"},
        {with("downsample", 65), "\"downsample\""},
        {with("downsample", "2"), "\"downsample\""},
        {with("base", -1), "\"base\" is the number of a preview"},
    };
    for (const auto& [request, expected] : cases) {
        for (const auto& [status, what] : {refusal([&] { service.preview(request); }),
                                           refusal([&] { service.state(request); })}) {
            EXPECT_EQ(status, 400) << request.dump();
            EXPECT_NE(what.find(expected), std::string::npos) << what << "\nexpected: " << expected;
            EXPECT_EQ(what.find("recipe:"), std::string::npos) << what;
        }
    }
}

TEST_F(PreviewServiceTest, RendersAtTheDraftDownsampleAndEveryDepth) {
    for (const int depth : {8, 16, 32}) {
        Json request = circle({{"Radius", 10}});
        request["recipe"]["depth"] = depth;
        request["downsample"] = 4;
        const auto image = service.preview(request);
        ASSERT_TRUE(image);
        // 64x36 at a quarter: 16x9, four bytes a pixel; the circle's red at the middle.
        ASSERT_EQ(image->width, 16);
        ASSERT_EQ(image->height, 9);
        ASSERT_EQ(image->rgba.size(), 16u * 9 * 4);
        const std::size_t middle = 4 * (4 * 16 + 8);
        EXPECT_EQ(image->rgba.substr(middle, 4), "\xff\x00\x00\xff"s) << depth << " bits";
    }
}

TEST_F(PreviewServiceTest, RefusesAPreviewLargerThanAPageShowsBeforeAnyWork) {
    // 2 x 3840 x 2160 = 16,588,800 pixels at most: 20000 / 4 = 5000 a side is 25,000,000, and
    // 20000 / 5 = 4000 a side is 16,000,000. At float the layer alone would take 6.4 GB: the
    // refusal comes before it is made.
    Json request{{"recipe", {{"effect", "OndrelCircle"}, {"size", "20000x20000"}, {"depth", 32}}},
                 {"downsample", 4}};
    const auto [status, what] = refusal([&] { service.preview(request); });
    EXPECT_EQ(status, 400);
    EXPECT_EQ(what, "a preview of 5000x5000 is more than a page shows (at most 16588800 pixels); "
                    "ask for a downsample of 5 or more");
    // Values and the recipe need no preview.
    EXPECT_NO_THROW(service.state(request));
}

// The built-in layer is made at the preview's size, each pixel the one the host's downsample
// takes from the full layer (the one nearest its centre): a request naming the largest layer
// costs what its preview costs.
TEST_F(PreviewServiceTest, ABuiltInLayerCostsWhatItsPreviewCosts) {
    // At float the full layer would take 14.4 GB.
    Json large{{"recipe", {{"effect", "OndrelCircle"}, {"size", "30000x30000"}, {"depth", 32}}},
               {"downsample", 64}};
    const auto small = service.preview(large);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->width, 469); // 30000 / 64, rounded up
    EXPECT_EQ(small->height, 469);

    // The layer shows through a shape of no opacity.
    Json request{
        {"recipe", {{"effect", "OndrelCircle"}, {"size", "90x50"}, {"params", {{"Opacity", 0}}}}}};
    const auto full = service.preview(request);
    request["downsample"] = 3;
    const auto third = service.preview(request);
    ASSERT_TRUE(full && third);
    ASSERT_EQ(third->width, 30);
    ASSERT_EQ(third->height, 17);
    int wrong = 0;
    for (int y = 0; y < third->height; ++y) {
        for (int x = 0; x < third->width; ++x) {
            // (x + 1/2) * 3 falls in pixel 3x + 1, within the layer.
            const int fx = std::min(3 * x + 1, 89);
            const int fy = std::min(3 * y + 1, 49);
            wrong += third->rgba.substr(4 * static_cast<std::size_t>(y * 30 + x), 4) !=
                     full->rgba.substr(4 * static_cast<std::size_t>(fy * 90 + fx), 4);
        }
    }
    EXPECT_EQ(wrong, 0);
}

// What the service keeps between requests (the layers, the layer at a downsample, the output)
// never shows in a preview: each is the one a fresh service renders.
TEST_F(PreviewServiceTest, APreviewIsTheSameAfterAnyOtherRequest) {
    const std::tuple<int, int, const char*> asked[] = {
        {8, 2, "64x36"},  {8, 3, "64x36"},  {8, 2, "64x36"},  {32, 2, "64x36"},
        {32, 2, "48x48"}, {16, 1, "48x48"}, {16, 2, "48x48"}, {8, 2, "64x36"}};
    for (const auto& [depth, downsample, size] : asked) {
        Json request = circle({{"Radius", 9}, {"Center", {20, 14}}});
        request["recipe"]["depth"] = depth;
        request["recipe"]["size"] = size;
        request["downsample"] = downsample;
        PreviewService fresh{optionsFor(ONDREL_MODULE_PATH), std::nullopt};
        EXPECT_EQ(service.preview(request)->rgba, fresh.preview(request)->rgba) << request.dump();
    }
}

TEST_F(PreviewServiceTest, TheRecipeToSaveHoldsEveryParameterAndNoFileOfThePages) {
    const Json saved = Json::parse(service.recipe(circle({{"Radius", 12}})));
    EXPECT_EQ(saved["effect"], "OndrelCircle");
    EXPECT_EQ(saved["size"], "64x36");
    EXPECT_EQ(saved["params"]["Radius"], 12);
    EXPECT_EQ(saved["params"]["Center"], Json::array({32, 18}));
    EXPECT_EQ(saved["params"].size(), 12u); // 15 parameters less the input and the group's two
    EXPECT_FALSE(saved.contains("module")); // the server's own, unless --module names it
    EXPECT_FALSE(saved.contains("input"));
}

TEST_F(PreviewServiceTest, TheRecipeToSaveKeepsTheOutputOfARecipeOpened) {
    Json request = circle({{"Radius", 12}});
    request["output"] = "/renders/out.####.png";
    request["compression"] = "zip";
    const Json saved = Json::parse(service.recipe(request));
    EXPECT_EQ(saved["output"], "/renders/out.####.png");
    EXPECT_EQ(saved["compression"], "zip");
    EXPECT_EQ(saved["params"]["Radius"], 12);
    request["output"] = 5;
    const auto [status, what] = refusal([&] { service.recipe(request); });
    EXPECT_EQ(status, 400);
    EXPECT_NE(what.find("\"output\" is the text"), std::string::npos) << what;
}

// A recipe as users write one, a setting or a parameter a line, so that messages name the line:
// a name in another case, keys out of time order, one in seconds (2 s at 12 fps is frame 24).
const char* const shotRecipe = R"({
  "effect": "OndrelCircle",
  "output": "out.####.png",
  "size": "480x270", "depth": 16, "fps": "12", "frames": "5-30",
  "params": {
    "radius": {"interpolation": "ease", "keys": [
      {"time": "2s", "value": 90, "interpolation": "hold"},
      {"time": 5, "value": 40}
    ]},
    "Center": [100, 60],
    "Fill Color": "#00ff00"
  }
}
)";

// shotRecipe as the page holds it, its output where `folder` puts it.
Json shotWork(const fs::path& folder) {
    return Json{{"effect", "OndrelCircle"},
                {"depth", 16},
                {"fps", "12"},
                {"size", "480x270"},
                {"background", "built-in"},
                {"frames", {5, 30}},
                {"params",
                 {{"Radius",
                   {{"interpolation", "ease"},
                    {"keys",
                     {{{"time", 5}, {"value", "40"}},
                      {{"time", 24}, {"value", "90"}, {"interpolation", "hold"}}}}}},
                  {"Center", {{"value", "100,60"}}},
                  {"Fill Color", {{"value", "#00ff00"}}}}},
                {"output", (folder / "out.####.png").string()},
                {"compression", nullptr},
                {"note", nullptr}};
}

// The same members, in whatever order, with the same values (5 and 5.0 alike).
bool sameWork(const Json& a, const Json& b) {
    return nlohmann::json::parse(a.dump()) == nlohmann::json::parse(b.dump());
}

Json opened(PreviewService& service, const std::string& name, const std::string& text) {
    return service.openRecipe(Json{{"name", name}, {"text", text}});
}

TEST_F(PreviewServiceTest, ARecipeOpenedIsTheWorkItSets) {
    // Its paths are the server's folder's, as a recipe's on standard input.
    const Json shot = opened(service, "shot.json", shotRecipe);
    EXPECT_TRUE(sameWork(shot, shotWork(fs::current_path()))) << shot.dump();
    // Settings it leaves out are the defaults a render takes.
    const Json line = opened(service, "line.json", R"({"effect": "OndrelLine"})");
    EXPECT_EQ(line["depth"], 8);
    EXPECT_EQ(line["fps"], "24");
    EXPECT_EQ(line["size"], "1920x1080");
    EXPECT_EQ(line["frames"], nullptr);
    EXPECT_EQ(line["params"], Json::object());
    // What it set stays out of the next request's render.
    const auto image = service.preview(circle({{"Radius", 10}}));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->rgba.substr(4 * (18 * 64 + 32), 4), "\xff\x00\x00\xff"s);
}

TEST_F(PreviewServiceTest, ARecipeOpenedIsRefusedWithTheReadersMessage) {
    const std::pair<std::string, std::string> cases[] = {
        {"{\"effect\": \"OndrelCircle\",\n \"params\": {\"Radius\": \"big\"}}",
         "shot.json:2: \"Radius\" takes a number"},
        {"{\"effect\": \"OndrelCircle\",\n\n \"colour\": \"red\"}",
         "shot.json:3: \"colour\" is not a recipe field"},
        {"{\n\"effect\": \"OndrelSquare\"}",
         "shot.json:2: no effect \"OndrelSquare\"; the module holds OndrelCircle"},
        {"{\"effect\": \"OndrelCircle\",\n \"params\": {\"Radius\": {\"keys\": [\n"
         "  {\"time\": 3, \"value\": 5000}]}}}",
         "shot.json:3: at 3: outside the valid range of \"Radius\", 0 to 3000"},
        {"{\"effect\": \"OndrelCircle\",\n \"output\": \"out.####.png\"}",
         "shot.json:2: the file name numbers frames"},
        {"{\"effect\": ", "shot.json:1: the text ends before the JSON does"},
    };
    for (const auto& [text, expected] : cases) {
        const auto [status, what] = refusal([&] { opened(service, "shot.json", text); });
        EXPECT_EQ(status, 400) << text;
        EXPECT_EQ(what.substr(0, expected.size()), expected) << text;
    }
    for (const Json& request :
         {Json::array(), Json{{"name", "shot.json"}}, Json{{"name", 1}, {"text", "{}"}}}) {
        const auto [status, what] = refusal([&] { service.openRecipe(request); });
        EXPECT_EQ(status, 400) << request.dump();
        EXPECT_NE(what.find("a recipe to open is"), std::string::npos) << what;
    }
    const auto [status, what] = refusal([&] { opened(service, "shot\n.json", "{}"); });
    EXPECT_EQ(status, 400);
    EXPECT_NE(what.find("a line break"), std::string::npos) << what;
}

TEST_F(PreviewServiceTest, ARecipesModuleAndInputStayTheServers) {
    const Json elsewhere = opened(service, "elsewhere.json", R"({"effect": "OndrelLine",
        "module": "/elsewhere/Other.so", "input": "/elsewhere/plate.png", "size": "64x36"})");
    EXPECT_EQ(elsewhere["note"],
              "elsewhere.json names module \"/elsewhere/Other.so\" and input "
              "\"/elsewhere/plate.png\"; ondrel serve keeps its own: module \"OndrelShapes.so\" "
              "and the built-in layer");
    EXPECT_EQ(elsewhere["background"], "built-in");
    EXPECT_EQ(elsewhere["size"], "64x36");
    EXPECT_EQ(elsewhere["effect"], "OndrelLine");
    EXPECT_EQ(opened(service, "module.json",
                     R"({"effect": "OndrelLine", "module": "/elsewhere/Other.so"})")["note"],
              "module.json names module \"/elsewhere/Other.so\"; ondrel serve keeps its own: "
              "module \"OndrelShapes.so\"");
    // The server's own module, spelt another way, is no other.
    const fs::path module(ONDREL_MODULE_PATH);
    const Json own = Json{{"effect", "OndrelLine"},
                          {"module", (module.parent_path() / "." / module.filename()).string()}};
    EXPECT_EQ(opened(service, "own.json", own.dump())["note"], nullptr);
    // Nor does an empty path name one.
    const Json none =
        opened(service, "none.json", R"({"effect": "OndrelLine", "module": "", "input": ""})");
    EXPECT_EQ(none["note"], nullptr);
    EXPECT_EQ(none["background"], "built-in");
}

// --recipe is read as `ondrel render --recipe` reads it: its paths from its folder; a recipe that
// does not read stops the server before it serves.
TEST_F(PreviewServiceTest, TheStartingRecipeIsReadAsARenderReadsIt) {
    EXPECT_EQ(service.startingRecipe(), (Json{{"recipe", nullptr}}));
    const fs::path folder =
        fs::temp_directory_path() / ("ondrel-serve-start-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "shot.json") << shotRecipe;
    const PreviewService started(optionsFor(ONDREL_MODULE_PATH), std::nullopt,
                                 OndrelCli::readRecipe(folder / "shot.json"));
    const Json start = started.startingRecipe();
    EXPECT_TRUE(sameWork(start, Json{{"recipe", shotWork(folder)}})) << start.dump();

    std::ofstream(folder / "bad.json") << "{\"effect\": \"OndrelCircle\",\n \"depth\": 12}\n";
    const std::string command = std::string(ONDREL_CLI_PATH) + " serve --port 0 --module " +
                                ONDREL_MODULE_PATH + " --recipe " + (folder / "bad.json").string() +
                                " 2>" + (folder / "said.txt").string();
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    std::ostringstream said;
    said << std::ifstream(folder / "said.txt").rdbuf();
    EXPECT_EQ(said.str(), "ondrel: " + (folder / "bad.json").string() +
                              ":2: expected 8, 16 or 32 (float) bits per channel\n");
    fs::remove_all(folder);
}

class ProbeServiceTest : public ::testing::Test {
protected:
    static Json probe(Json params) {
        return Json{{"recipe", {{"effect", "HostProbe"}, {"size", "8x8"}, {"params", params}}}};
    }
    PreviewService service{optionsFor(HOST_PROBE_PATH), std::nullopt};
};

TEST_F(ProbeServiceTest, GraysWhatTheModulesUpdateGrays) {
    const Json three = service.state(probe({{"Mode", "Three"}}));
    EXPECT_EQ(three["disabled"], Json::array({Probe::Depends}));
    EXPECT_EQ(three["values"][Probe::Mode], "Three");
    EXPECT_EQ(three["values"][Probe::Centre], "2,6"); // (25 %, 75 %) of 8x8
    EXPECT_EQ(service.state(probe({{"Mode", "One"}}))["disabled"], Json::array());
}

TEST_F(ProbeServiceTest, AModulesFailureCarriesItsCodeAndMessage) {
    const auto [status, what] = refusal([&] { service.preview(probe({{"Amount", 100}})); });
    EXPECT_EQ(status, 500);
    EXPECT_EQ(what, "HostProbe failed to render: host error " + std::to_string(Probe::failure) +
                        "; the module says: " + Probe::failureMessage);
    // The next render is not held back by the failed one.
    EXPECT_TRUE(service.preview(probe({{"Amount", 99}})));
}

// A render that a newer request overtakes is interrupted where it stands (the probe's lasts until
// it is), leaves nothing behind in strict mode, and the newer one renders.
TEST_F(ProbeServiceTest, AnOvertakenRenderIsInterrupted) {
    std::optional<OndrelCli::PreviewImage> overtaken{OndrelCli::PreviewImage{}};
    std::atomic<bool> returned{false};
    std::jthread first([&] {
        // A failure (the probe's, uninterrupted) leaves `overtaken` as it was.
        refusal([&] {
            overtaken = service.preview(probe({{"Amount", Probe::interruptedAmount}}));
        });
        returned = true;
    });
    // Newer requests until the first has returned, in case one came before it.
    std::optional<OndrelCli::PreviewImage> newest;
    while (!returned) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        newest = service.preview(probe({{"Amount", 10}}));
    }
    first.join();
    EXPECT_FALSE(overtaken);
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->width, 8);
}

// A 20x10 render of the circle, plate.png in `folder`, made with the built command.
fs::path renderedPlate(const fs::path& folder) {
    fs::create_directories(folder);
    const fs::path input = folder / "plate.png";
    const std::string render = std::string(ONDREL_CLI_PATH) + " render OndrelCircle --module " +
                               ONDREL_MODULE_PATH + " --size 20x10 -o " + input.string();
    EXPECT_EQ(std::system(render.c_str()), 0);
    return input;
}

TEST(PreviewServiceInput, PreviewsOverTheInputAndSavesItsPath) {
    const fs::path folder =
        fs::temp_directory_path() / ("ondrel-serve-test-" + std::to_string(::getpid()));
    const fs::path input = renderedPlate(folder);
    PreviewService service(optionsFor(ONDREL_MODULE_PATH), input);
    EXPECT_EQ(service.effects()["input"],
              (Json{{"name", "plate.png"}, {"width", 20}, {"height", 10}}));
    Json request = circle();
    request["background"] = "input";
    const auto image = service.preview(request);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 20); // the input's size, not the recipe's
    const Json saved = Json::parse(service.recipe(request));
    EXPECT_EQ(saved["input"], fs::absolute(input).string());
    EXPECT_FALSE(saved.contains("size"));
    fs::remove_all(folder);
}

// The input is read once, with the command line's checks, when the server starts: a file put in
// its place afterwards is never read, at any depth.
TEST(PreviewServiceInput, TheInputIsReadOnceWhenTheServerStarts) {
    const fs::path folder =
        fs::temp_directory_path() / ("ondrel-serve-once-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path input = folder / "plate.png";
    const auto render = [&](const char* size) {
        return std::system((std::string(ONDREL_CLI_PATH) + " render OndrelCircle --module " +
                            ONDREL_MODULE_PATH + " --size " + size + " -o " + input.string())
                               .c_str());
    };
    ASSERT_EQ(render("20x10"), 0);
    PreviewService service(optionsFor(ONDREL_MODULE_PATH), input);
    Json request = circle({{"Opacity", 0}});
    request["background"] = "input";
    const auto before = service.preview(request);
    ASSERT_TRUE(before);

    // Another file in its place, of another size.
    ASSERT_EQ(render("300x1"), 0);
    for (const int depth : {16, 32, 8}) {
        request["recipe"]["depth"] = depth;
        const auto after = service.preview(request);
        ASSERT_TRUE(after) << depth;
        EXPECT_EQ(after->width, 20) << depth;
        EXPECT_EQ(after->height, 10) << depth;
        if (depth == 8) {
            EXPECT_EQ(after->rgba, before->rgba);
        }
    }
    fs::remove_all(folder);
}

TEST(PreviewServiceInput, ARecipeNamingTheInputPreviewsOverIt) {
    const fs::path folder =
        fs::temp_directory_path() / ("ondrel-serve-recipe-input-" + std::to_string(::getpid()));
    const fs::path input = renderedPlate(folder);
    PreviewService service(optionsFor(ONDREL_MODULE_PATH), input);
    const auto open = [&](const Json& recipe) {
        return service.openRecipe(Json{{"name", "shot.json"}, {"text", recipe.dump()}});
    };
    const Json same = open({{"effect", "OndrelLine"}, {"input", input.string()}});
    EXPECT_EQ(same["background"], "input");
    EXPECT_EQ(same["note"], nullptr);
    const Json other = open({{"effect", "OndrelLine"}, {"input", "/elsewhere/photo.png"}});
    EXPECT_EQ(other["background"], "input");
    EXPECT_EQ(other["note"], "shot.json names input \"/elsewhere/photo.png\"; ondrel serve keeps "
                             "its own: input \"plate.png\"");
    // Without an input it is the built-in layer of its size.
    EXPECT_EQ(open({{"effect", "OndrelLine"}, {"size", "30x30"}})["background"], "built-in");
    fs::remove_all(folder);
}

TEST(PreviewServiceInput, RefusesASequenceOrAMissingFile) {
    EXPECT_THROW(PreviewService(optionsFor(ONDREL_MODULE_PATH), fs::path("plate.####.exr")),
                 OndrelCli::CliError);
    EXPECT_THROW(PreviewService(optionsFor(ONDREL_MODULE_PATH), fs::path("/nonexistent/plate.png")),
                 OndrelCli::CliError);
}

} // namespace
