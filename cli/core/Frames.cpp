#include "cli/core/Frames.h"

#include "cli/core/CliError.h"
#include "cli/core/Text.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

namespace OndrelCli {
namespace {

// Rates as the host application's compositions take them.
constexpr long minRate = 1;
constexpr long maxRate = 1000;
constexpr A_long ntscDen = 1001;

FrameRate reduced(long long num, long long den) {
    const long long g = std::gcd(num, den);
    return {static_cast<A_u_long>(num / g), static_cast<A_long>(den / g)};
}

} // namespace

std::string FrameRate::text() const {
    return den == 1 ? std::to_string(num) : std::to_string(num) + "/" + std::to_string(den);
}

FrameRate parseFrameRate(std::string_view text) {
    const std::string refusal = "expected frames per second: a number from " +
                                std::to_string(minRate) + " to " + std::to_string(maxRate) +
                                " such as 24, 29.97 or 30000/1001";
    const auto slash = text.find('/');
    if (slash != std::string_view::npos) {
        const auto num = wholeNumber(text.substr(0, slash));
        const auto den = wholeNumber(text.substr(slash + 1));
        if (!num || !den || *den < 1 || *num < minRate * *den || *num > maxRate * *den ||
            *den > 1000000) {
            throw UsageError(refusal);
        }
        return reduced(*num, *den);
    }
    const auto rate = number(text);
    if (!rate || *rate < static_cast<double>(minRate) || *rate > static_cast<double>(maxRate)) {
        throw UsageError(refusal);
    }
    if (*rate == std::floor(*rate)) {
        return {static_cast<A_u_long>(*rate), 1};
    }
    // 29.97 stands for 30000/1001, as everywhere in video; but not where that leaves the range
    // (1.0002 is no 1000/1001).
    const double ntsc = *rate * ntscDen / 1000.0;
    const long long frames = std::llround(ntsc) * 1000;
    if (std::abs(ntsc - std::round(ntsc)) < 0.005 && frames >= minRate * ntscDen &&
        frames <= maxRate * ntscDen) {
        return reduced(frames, ntscDen);
    }
    return reduced(std::llround(*rate * 1000.0), 1000);
}

std::vector<int> parseFrames(std::string_view text) {
    std::vector<std::pair<long, long>> ranges;
    long long count = 0;
    for (const auto& part : split(text, ',')) {
        const auto dash = part.find('-', 1);
        const auto first = wholeNumber(trim(std::string_view(part).substr(0, dash)));
        const auto last = dash == std::string::npos
                              ? first
                              : wholeNumber(trim(std::string_view(part).substr(dash + 1)));
        if (!first || !last || *first < 0 || *last < *first || *last > maxFrameNumber) {
            throw UsageError("expected frames such as 1-240, 7 or 1-10,20, numbered 0 to " +
                             std::to_string(maxFrameNumber) + " and each range ascending");
        }
        ranges.emplace_back(*first, *last);
        count += *last - *first + 1;
    }
    // Refused before any frame is listed: the checks before the first frame go through all.
    if (count > maxSequenceFrames) {
        throw UsageError(std::to_string(count) + " frames, more than the " +
                         std::to_string(maxSequenceFrames) +
                         " one render or job takes; render a longer sequence in several ranges");
    }
    std::vector<int> frames;
    for (const auto& [first, last] : ranges) {
        for (long n = first; n <= last; ++n) {
            frames.push_back(static_cast<int>(n));
        }
    }
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    return frames;
}

std::string framesText(const std::vector<int>& frames) {
    std::string text;
    for (std::size_t i = 0; i < frames.size();) {
        std::size_t j = i;
        while (j + 1 < frames.size() && frames[j + 1] == frames[j] + 1) {
            ++j;
        }
        text += (text.empty() ? "" : ",") + std::to_string(frames[i]);
        if (j > i) {
            text += "-" + std::to_string(frames[j]);
        }
        i = j + 1;
    }
    return text;
}

} // namespace OndrelCli
