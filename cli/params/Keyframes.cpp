#include "cli/params/Keyframes.h"

#include "cli/core/CliError.h"
#include "cli/core/Text.h"

#include <algorithm>
#include <cmath>

namespace OndrelCli {

using OfflineHost::Interpolation;

namespace {

constexpr struct {
    Interpolation interpolation;
    const char* name;
} interpolationNames[] = {
    {Interpolation::Linear, "linear"},
    {Interpolation::Hold, "hold"},
    {Interpolation::Ease, "ease"},
};

} // namespace

Interpolation parseInterpolation(std::string_view text) {
    for (const auto& entry : interpolationNames) {
        if (lower(trim(text)) == entry.name) {
            return entry.interpolation;
        }
    }
    throw UsageError("no interpolation " + inQuotes(text) + "; expected linear, hold or ease");
}

const char* interpolationName(Interpolation interpolation) {
    for (const auto& entry : interpolationNames) {
        if (entry.interpolation == interpolation) {
            return entry.name;
        }
    }
    return "linear";
}

std::string KeyTime::text() const {
    return numberText(amount) + (inSeconds ? "s" : "");
}

KeyTime parseKeyTime(std::string_view text) {
    const std::string t = trim(text);
    const bool inSeconds = !t.empty() && t.back() == 's';
    const auto amount = number(inSeconds ? std::string_view(t).substr(0, t.size() - 1) : t);
    // Frames must stay within what the host's time can count.
    if (!amount || std::abs(*amount) > maxFrameNumber) {
        throw UsageError("no time " + inQuotes(t) +
                         "; expected a frame number such as 48, or seconds such as 2s");
    }
    return {*amount, inSeconds};
}

ParamTrack parseTrack(std::string_view text) {
    ParamTrack track;
    if (text.find('@') == std::string_view::npos) {
        track.keys.push_back({std::nullopt, trim(text), std::nullopt});
        return track;
    }
    // VALUE@TIME[:INTERPOLATION], repeated: a value runs to its '@', its time to the next ','.
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto at = text.find('@', start);
        if (at == std::string_view::npos) {
            throw UsageError("expected VALUE@TIME after " + inQuotes(text.substr(0, start)));
        }
        const auto end = std::min(text.find(',', at), text.size());
        const auto timeText = text.substr(at + 1, end - at - 1);
        const auto colon = timeText.find(':');
        Keyframe key;
        key.value = trim(text.substr(start, at - start));
        if (key.value.empty()) {
            throw UsageError("a keyframe without a value before @" + std::string(timeText));
        }
        key.time = parseKeyTime(timeText.substr(0, colon));
        if (colon != std::string_view::npos) {
            key.interpolation = parseInterpolation(timeText.substr(colon + 1));
        }
        track.keys.push_back(std::move(key));
        start = end + 1;
    }
    return track;
}

std::string trackText(const ParamTrack& track) {
    std::string text;
    for (const auto& key : track.keys) {
        text += text.empty() ? "" : ",";
        text += key.value;
        if (key.time) {
            text += "@" + key.time->text();
        }
        if (key.interpolation) {
            text += std::string(":") + interpolationName(*key.interpolation);
        }
    }
    return text;
}

} // namespace OndrelCli
