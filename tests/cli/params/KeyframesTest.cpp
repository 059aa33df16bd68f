// Keyframes as users write them: "VALUE@TIME[:INTERPOLATION],..." or one value.

#include "cli/params/Keyframes.h"
#include "cli/core/CliError.h"

#include <gtest/gtest.h>

using namespace OndrelCli;
using OfflineHost::Interpolation;

TEST(Keyframes, OneValueHoldsAtAllTimes) {
    const ParamTrack track = parseTrack(" 960, 540 ");
    ASSERT_EQ(track.keys.size(), 1u);
    EXPECT_FALSE(track.keys[0].time);
    EXPECT_EQ(track.keys[0].value, "960, 540");
    EXPECT_EQ(trackText(track), "960, 540");
}

TEST(Keyframes, ValuesAtFramesOrSecondsWithTheirInterpolation) {
    const ParamTrack track = parseTrack("100,200@0, 300,400@1.5s:Ease,#ff0000@-12.5:hold");
    ASSERT_EQ(track.keys.size(), 3u);
    EXPECT_EQ(track.keys[0].value, "100,200");
    EXPECT_EQ(track.keys[0].time->amount, 0.0);
    EXPECT_FALSE(track.keys[0].time->inSeconds);
    EXPECT_FALSE(track.keys[0].interpolation);
    EXPECT_EQ(track.keys[1].value, "300,400");
    EXPECT_TRUE(track.keys[1].time->inSeconds);
    EXPECT_EQ(track.keys[1].interpolation, Interpolation::Ease);
    EXPECT_EQ(track.keys[2].time->amount, -12.5);
    EXPECT_EQ(track.keys[2].interpolation, Interpolation::Hold);
    EXPECT_EQ(trackText(track), "100,200@0,300,400@1.5s:ease,#ff0000@-12.5:hold");

    // Frames count at the sequence's rate, seconds do not.
    const FrameRate rate = parseFrameRate("24");
    EXPECT_EQ(parseKeyTime("12").seconds(rate), 0.5);
    EXPECT_EQ(parseKeyTime("2s").seconds(rate), 2.0);
}

TEST(Keyframes, MalformedKeyframesAreRefused) {
    for (const char* bad :
         {"0@", "@5", "0@0,", "0@x", "0@1:bounce", "0@0,5", "0@1s:", "0@ss", "0@99999999"}) {
        EXPECT_THROW(parseTrack(bad), CliError) << bad;
    }
    EXPECT_EQ(parseInterpolation("LINEAR"), Interpolation::Linear);
    EXPECT_THROW(parseInterpolation("linearly"), CliError);
}
