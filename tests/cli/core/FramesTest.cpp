// Frame numbers, rates and file-name patterns: what --frames, --fps, -o and -i take.

#include "cli/core/Frames.h"
#include "cli/core/CliError.h"
#include "cli/shot/FramePattern.h"

#include <gtest/gtest.h>

using namespace OndrelCli;

TEST(Frames, ListsAreSortedUniqueAndWrittenBackShortest) {
    EXPECT_EQ(parseFrames("1-5"), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(parseFrames("7"), std::vector<int>{7});
    EXPECT_EQ(parseFrames(" 10 , 2-4,1-3 "), (std::vector<int>{1, 2, 3, 4, 10}));
    EXPECT_EQ(parseFrames("0-0"), std::vector<int>{0});
    EXPECT_EQ(framesText({1, 2, 3, 5, 7, 8, 9}), "1-3,5,7-9");
    EXPECT_EQ(framesText(parseFrames("20,1-10,12")), "1-10,12,20");
    for (const char* bad : {"", "5-1", "-3", "1-", "a", "1-2-3", "1,,2", "0-10000000", "1.5"}) {
        EXPECT_THROW(parseFrames(bad), CliError) << bad;
    }
}

// A range is counted before any frame is listed, so that a long one is refused at once.
TEST(Frames, ARenderTakesAHundredThousandFramesAtMost) {
    EXPECT_EQ(parseFrames("1-100000").size(), 100000u);
    EXPECT_EQ(parseFrames("0-49999,9950000-9999999").size(), 100000u);
    const struct {
        const char* frames;
        const char* refusal;
    } cases[] = {
        {"0-9999999", "10000000 frames, more than the 100000 one render or job takes; render a "
                      "longer sequence in several ranges"},
        {"1-100001", "100001 frames, more than the 100000"},
        {"1-60000,200001-260000", "120000 frames, more than the 100000"},
    };
    for (const auto& c : cases) {
        try {
            parseFrames(c.frames);
            ADD_FAILURE() << c.frames << " was taken";
        } catch (const CliError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.refusal, 0), 0u) << e.what();
        }
    }
}

TEST(Frames, RatesAreExactFractions) {
    const auto rate = [](const char* text) { return parseFrameRate(text).text(); };
    EXPECT_EQ(rate("24"), "24");
    EXPECT_EQ(rate("30000/1001"), "30000/1001");
    EXPECT_EQ(rate("50/2"), "25");
    EXPECT_EQ(rate("29.97"), "30000/1001");
    EXPECT_EQ(rate("23.976"), "24000/1001");
    EXPECT_EQ(rate("59.94"), "60000/1001");
    EXPECT_EQ(rate("12.5"), "25/2");
    EXPECT_EQ(rate("1"), "1");
    EXPECT_EQ(rate("1000"), "1000");
    EXPECT_EQ(rate("1.0002"), "1"); // not the NTSC 1000/1001, which is below 1
    // The least and most a rate may be, however it is written; 0.004 once became 0/1001.
    for (const char* bad : {"0", "-24", "abc", "1001", "24/0", "1/2/3", "", "0.004", "0.999",
                            "1/1000000", "1000/1001", "1000001/1000", "1e309"}) {
        EXPECT_THROW(parseFrameRate(bad), CliError) << bad;
    }
    // Frame n is shown at n / rate seconds.
    EXPECT_EQ(parseFrameRate("24").seconds(48), 2.0);
    EXPECT_DOUBLE_EQ(parseFrameRate("29.97").seconds(30), 1.001);
}

TEST(Frames, PatternsNumberTheFiles) {
    const FramePattern hashes("shots#1/out.####.exr");
    EXPECT_TRUE(hashes.isSequence());
    EXPECT_EQ(hashes.frame(7), "shots#1/out.0007.exr");
    EXPECT_EQ(hashes.frame(12345), "shots#1/out.12345.exr");
    EXPECT_EQ(FramePattern("out.%04d.exr").frame(42), "out.0042.exr");
    EXPECT_EQ(FramePattern("out.%d.png").frame(42), "out.42.png");
    EXPECT_EQ(FramePattern("#.tif").frame(3), "3.tif");
    const FramePattern single("out.exr");
    EXPECT_FALSE(single.isSequence());
    EXPECT_EQ(single.frame(9), "out.exr");
    EXPECT_FALSE(FramePattern("100%.png").isSequence());
    EXPECT_THROW(FramePattern("a.##.b.##.exr"), CliError);
    EXPECT_THROW(FramePattern("a.##.%04d.exr"), CliError);
}
