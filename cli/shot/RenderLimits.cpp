#include "cli/shot/RenderLimits.h"

#include "cli/core/CliError.h"
#include "cli/core/Text.h"

#include "host/pixels/PixelDepth.h"
#include "host/system/SystemLimits.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace OndrelCli {

using OfflineHost::Frame;

namespace {

std::string amount(std::uint64_t bytes) {
    char text[32];
    if (bytes >= 1000000000) {
        std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(bytes) / 1e9);
    } else {
        std::snprintf(text, sizeof text, "%.0f MB", static_cast<double>(bytes) / 1e6);
    }
    return text;
}

} // namespace

void checkLayerSize(A_long width, A_long height, const std::string& what) {
    if (width < 1 || height < 1 || width > maxLayerSide || height > maxLayerSide) {
        throw CliError(what + " is " + std::to_string(width) + "x" + std::to_string(height) +
                       " pixels; the command takes sides of 1 to " + std::to_string(maxLayerSide));
    }
}

void checkMemory(const Frame& frame, const std::string& what, int renders, int written) {
    const auto area = [](A_long width, A_long height) {
        return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    };
    const std::uint64_t output = area(frame.scaledWidth(), frame.scaledHeight());
    const std::uint64_t needed = OfflineHost::pixelBytes(frame.depth) *
                                 (static_cast<std::uint64_t>(renders) *
                                      (area(frame.layerWidth, frame.layerHeight) + 3 * output) +
                                  static_cast<std::uint64_t>(written) * output);
    const std::uint64_t usable = OfflineHost::usableMemory();
    if (needed > usable) {
        throw CliError(what + " at " + std::to_string(OfflineHost::bitsPerChannel(frame.depth)) +
                       " bits" +
                       (renders > 1 ? ", " + std::to_string(renders) + " frames at once," : "") +
                       " needs about " + amount(needed) + " of memory for its pixels, " +
                       "more than the " + amount(usable) + " this process may use");
    }
}

A_long frameTime(double seconds, A_u_long timeScale, A_long timeStep) {
    const double most =
        std::floor(static_cast<double>(std::numeric_limits<A_long>::max() - timeStep) / timeScale);
    if (!std::isfinite(seconds) || std::abs(seconds) > most) {
        throw UsageError("--time " + numberText(seconds) + ": expected seconds from " +
                         std::to_string(static_cast<long>(-most)) + " to " +
                         std::to_string(static_cast<long>(most)));
    }
    return static_cast<A_long>(std::lround(seconds * timeScale));
}

void setThreads(OfflineHost::EffectInstance& effect, int threads) {
    if (threads < 0) {
        throw UsageError("--threads " + std::to_string(threads) +
                         ": expected 0 (one per processor) or a number of threads");
    }
    effect.setThreadCount(threads);
    if (effect.threadCount() < threads) {
        throw UsageError("--threads " + std::to_string(threads) +
                         ": this machine can start no more than " +
                         std::to_string(effect.threadCount()) + " threads now");
    }
}

} // namespace OndrelCli
