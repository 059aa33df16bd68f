// What ondrel's status tells a script: 0 done, 2 a mistake in the command line itself, whichever
// part of the parser found it, 1 a render, a file or a recipe that failed. A mistyped name is
// answered with the nearest one.

#include "tests/cli/CliTestSupport.h"

#include "cli/core/Text.h"

#include <fstream>

namespace {

using namespace CliTest;

using ExitStatus = RenderCommand;

constexpr int usageMistake = 2;
constexpr int failure = 1;

TEST_F(ExitStatus, EveryMistakeInTheCommandLineEndsWithTwo) {
    const struct {
        const char* arguments;
        const char* says;
    } mistakes[] = {
        // Found by the argument library.
        {"render OndrelCircle --no-such-option -o out.png", "--no-such-option"},
        {"render OndrelCircle -o", "-o"},
        {"rendr OndrelCircle -o out.png", "unknown command \"rendr\"; did you mean render?"},
        {"render OndrelCircle --jobs 0 -o out.png", "--jobs 0: expected 1 or more"},
        // Found by ondrel's own checks of names and values.
        {"render OndrelCircel -o out.png", "unknown effect \"OndrelCircel\"; did you mean "
                                           "OndrelCircle? The module holds OndrelCircle, "},
        {"render OndrelCircle --set Radus=3 -o out.png",
         "OndrelCircle has no parameter \"Radus\"; did you mean \"Radius\"? Its parameters are "},
        {"render OndrelCircle --set Mode=Strok -o out.png",
         "no such item of \"Mode\"; did you mean \"Stroke\"? Its items are 1 Fill"},
        {"render OndrelCircle --set Radius=big -o out.png", "\"Radius\" takes a number"},
        {"render OndrelCircle --depth 12 -o out.png", "--depth \"12\": expected 8, 16 or 32"},
        {"render OndrelCircle --size 0x10 -o out.png", "--size \"0x10\": expected WIDTHxHEIGHT"},
        {"render OndrelCircle --frames 5-1 -o f.####.png", "--frames \"5-1\""},
        {"render OndrelCircle --set Radius -o out.png", "expected NAME=VALUE"},
        {"render -o out.png", "no effect: name one"},
        {"params NoSuchEffect", "unknown effect \"NoSuchEffect\""},
    };
    for (const auto& m : mistakes) {
        SCOPED_TRACE(m.arguments);
        const Outcome run = command(m.arguments);
        EXPECT_EQ(run.status, usageMistake) << run.errors;
        EXPECT_EQ(run.errors.rfind("ondrel: ", 0), 0u) << run.errors;
        EXPECT_NE(run.errors.find(m.says), std::string::npos) << run.errors;
        EXPECT_EQ(lines(run.errors), 1) << run.errors;
    }
    EXPECT_EQ(files(), std::set<std::string>{});
}

TEST_F(ExitStatus, WhatFailsOnceTheCommandLineIsRightEndsWithOne) {
    {
        const Outcome run = command("render OndrelCircle -i missing.png -o out.png");
        EXPECT_EQ(run.status, failure) << run.errors;
        EXPECT_NE(run.errors.find("missing.png"), std::string::npos) << run.errors;
    }
    {
        const Outcome run = command("render --recipe missing.json -o out.png");
        EXPECT_EQ(run.status, failure) << run.errors;
    }
    // The same mistakes as on the command line, read from a recipe: the command line was right.
    const struct {
        const char* recipe;
        const char* says;
    } recipes[] = {
        {R"({"effect": "OndrelCircel"})", "did you mean OndrelCircle?"},
        {R"({"effect": "OndrelCircle", "params": {"Radus": 3}})", "did you mean \"Radius\"?"},
        {R"({"effect": "OndrelCircle", "params": {"Mode": "Strok"}})", "did you mean \"Stroke\"?"},
        {R"({"effect": "OndrelCircle", "depth": 12})", "expected 8, 16 or 32"},
    };
    for (const auto& r : recipes) {
        SCOPED_TRACE(r.recipe);
        std::ofstream(folder / "shot.json") << r.recipe;
        const Outcome run = command("render --recipe shot.json -o out.png");
        EXPECT_EQ(run.status, failure) << run.errors;
        EXPECT_NE(run.errors.find("shot.json"), std::string::npos) << run.errors;
        EXPECT_NE(run.errors.find(r.says), std::string::npos) << run.errors;
    }
    // The recipe's mistake mended on the command line renders.
    std::ofstream(folder / "shot.json") << R"({"effect": "OndrelCircel", "depth": 12})";
    const Outcome mended = command("render --recipe shot.json OndrelCircle --depth 16 --size 8x8 "
                                   "-o out.png");
    EXPECT_EQ(mended.status, 0) << mended.errors;
}

TEST_F(ExitStatus, HelpAndVersionEndWithZeroAndABareCommandShowsItsUsage) {
    EXPECT_EQ(command("--version").status, 0);
    EXPECT_EQ(command("render --help").status, 0);
    const Outcome bare = shell("'" ONDREL_CLI_PATH "'");
    EXPECT_EQ(bare.status, usageMistake);
    EXPECT_EQ(bare.output, "");
    EXPECT_NE(bare.errors.find("Usage: ondrel"), std::string::npos) << bare.errors;
    for (const char* command : {"render", "params", "serve", "submit"}) {
        EXPECT_NE(bare.errors.find(command), std::string::npos) << command;
    }
}

// Worked by hand: each name below is one edit (or one swap of neighbours) from its target.
TEST(NearestName, AnswersOnlyANearAndUnambiguousName) {
    using OndrelCli::nearestName;
    const std::vector<std::string> commands{"list",   "about",  "params", "render",
                                            "recipe", "submit", "serve"};
    EXPECT_EQ(nearestName("rendr", commands), "render");  // a letter left out
    EXPECT_EQ(nearestName("rnder", commands), "render");  // another
    EXPECT_EQ(nearestName("reciep", commands), "recipe"); // two letters swapped
    EXPECT_EQ(nearestName("SERVE", commands), "serve");   // case aside
    EXPECT_EQ(nearestName("lsit", commands), "list");
    EXPECT_EQ(nearestName("xyz", commands), std::nullopt);             // nothing near
    EXPECT_EQ(nearestName("render", commands), "render");              // itself
    EXPECT_EQ(nearestName("servw", {"serve", "servx"}), std::nullopt); // two as near
    // About a third of the letters may be wrong: two of "Radius" (six), not three.
    EXPECT_EQ(nearestName("Rdius", {"Radius"}), "Radius");
    EXPECT_EQ(nearestName("Raxiux", {"Radius"}), "Radius");
    EXPECT_EQ(nearestName("Rxxixs", {"Radius"}), std::nullopt);
    EXPECT_EQ(nearestName("x", {"y"}), "y"); // one edit is always near enough
}

} // namespace
