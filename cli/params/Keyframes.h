#pragma once

// A parameter's values over time as users write them: one value, or keyframes, each a value at a
// time with an optional interpolation towards the next keyframe.
//
//   --set "Radius=150"                  one value at all times
//   --set "Radius=0@0,200@2s"           keyframes: 0 at frame 0, 200 at 2 seconds
//   --set "Radius=0@0:ease,200@48"      ease from frame 0 to frame 48
//
// A time is a frame number at the sequence's rate (fractions allowed) or seconds with "s". A
// keyframe's interpolation (":linear", ":hold" or ":ease") shapes the way from it to the next
// keyframe; without one it takes the track's interpolation, and without that the parameter's own
// (linear, but hold for popups and checkboxes). Values stay text until they meet the
// parameter's definition (see ParamAssignment.h).

#include "cli/core/Frames.h"

#include "host/instance/ParamStore.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace OndrelCli {

struct KeyTime {
    double amount = 0.0;
    bool inSeconds = false; // else frames

    double seconds(const FrameRate& rate) const {
        return inSeconds ? amount : rate.seconds(amount);
    }
    std::string text() const; // "12", "2.5s"
};

struct Keyframe {
    std::optional<KeyTime> time; // none for a value that holds at all times
    std::string value;
    std::optional<OfflineHost::Interpolation> interpolation;
};

struct ParamTrack {
    std::vector<Keyframe> keys;
    std::optional<OfflineHost::Interpolation> interpolation; // for keys without their own
};

// "linear", "hold", "ease" (in any case). Throws CliError.
OfflineHost::Interpolation parseInterpolation(std::string_view text);
const char* interpolationName(OfflineHost::Interpolation interpolation);

// A time: "12", "-3", "12.5" (frames) or "2s", "0.5s" (seconds). Throws CliError.
KeyTime parseKeyTime(std::string_view text);

// One value, or keyframes "VALUE@TIME[:INTERPOLATION],..." (a value may itself hold commas, as
// points and colours do). Throws CliError.
ParamTrack parseTrack(std::string_view text);
// The text parseTrack reads back as the same track (without the track's interpolation).
std::string trackText(const ParamTrack& track);

} // namespace OndrelCli
