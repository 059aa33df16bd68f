#pragma once

// Frame numbers and the rate that turns them into host time. Frame n of a sequence is shown at
// n / rate seconds, so at 24 frames per second frame 48 is at 2 s.

#include "AE_Effect.h"

#include <string>
#include <string_view>
#include <vector>

namespace OndrelCli {

// Frames per second as a fraction, 24/1 or 30000/1001. The host's time for frame n is
// n * den in units of 1 / num seconds.
struct FrameRate {
    A_u_long num = 24;
    A_long den = 1;

    double seconds(double frames) const { return frames * den / num; }
    std::string text() const; // "24", "30000/1001"
};

// "24", "25", "30000/1001", or a decimal: 23.976, 29.97 and 59.94 are the NTSC rates
// 24000/1001, 30000/1001 and 60000/1001. Rates run from 1 to 1000 frames per second. Throws
// CliError.
FrameRate parseFrameRate(std::string_view text);

// The largest frame number a sequence may use.
constexpr int maxFrameNumber = 9999999;
// The most frames one render or cluster job takes (ranges counted as given, overlaps twice).
// Before the first frame every frame's file is looked up, which takes about a second for as
// many on a busy machine; ten million would keep the user waiting minutes for the first.
constexpr int maxSequenceFrames = 100000;

// Frame numbers in ascending order, each once: "1-240", "7", "1-10,20,30-40". Throws CliError,
// also for more than maxSequenceFrames.
std::vector<int> parseFrames(std::string_view text);
// The shortest text parseFrames reads back as the same frames: "1-10,20,30-40".
std::string framesText(const std::vector<int>& frames);

} // namespace OndrelCli
