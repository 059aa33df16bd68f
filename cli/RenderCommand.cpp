// ondrel render EFFECT -o OUTPUT: renders one frame of an effect over an image file or the
// built-in layer and writes the result as an image file.

#include "CliError.h"
#include "Commands.h"
#include "DefaultLayer.h"
#include "ImageFiles.h"
#include "ParamAssignment.h"
#include "Progress.h"
#include "RenderLimits.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <tuple>
#include <vector>

namespace OndrelCli {

using OfflineHost::Frame;
using OfflineHost::PixelDepth;
using OfflineHost::World;

namespace {

// Fine enough for every common frame rate (24, 25, 30, 50, 60).
constexpr A_u_long timeScale = 600;

struct RenderOptions {
    std::string effect;
    std::filesystem::path output;
    std::optional<std::filesystem::path> input;
    std::vector<std::string> assignments;
    std::string size = "1920x1080";
    int depth = 8;
    double time = 0.0;
    std::string downsample = "1";
    int threads = 0;
};

std::optional<long> wholeNumber(std::string_view text) {
    long value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::pair<A_long, A_long> parseSize(const std::string& text) {
    const auto x = text.find('x');
    const auto w = x == std::string::npos ? std::nullopt : wholeNumber(text.substr(0, x));
    const auto h = x == std::string::npos ? std::nullopt : wholeNumber(text.substr(x + 1));
    if (!w || !h || *w < 1 || *h < 1 || *w > maxLayerSide || *h > maxLayerSide) {
        throw CliError("--size \"" + text + "\": expected WIDTHxHEIGHT, each 1 to " +
                       std::to_string(maxLayerSide));
    }
    return {static_cast<A_long>(*w), static_cast<A_long>(*h)};
}

// One factor: "N" renders at 1/N of full resolution, "A/B" at A/B (at most 1).
PF_RationalScale parseFactor(std::string_view text, const std::string& whole) {
    const auto slash = text.find('/');
    std::optional<long> num = 1;
    std::optional<long> den = wholeNumber(text);
    if (slash != std::string_view::npos) {
        num = wholeNumber(text.substr(0, slash));
        den = wholeNumber(text.substr(slash + 1));
    }
    if (!num || !den || *num < 1 || *den < *num || *den > maxLayerSide) {
        throw CliError("--downsample \"" + whole +
                       "\": expected X or X:Y, each a whole number N (1/N of full resolution) or "
                       "a fraction A/B no greater than 1");
    }
    return {static_cast<A_long>(*num), static_cast<A_u_long>(*den)};
}

std::pair<PF_RationalScale, PF_RationalScale> parseDownsample(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) {
        const PF_RationalScale both = parseFactor(text, text);
        return {both, both};
    }
    return {parseFactor(std::string_view(text).substr(0, colon), text),
            parseFactor(std::string_view(text).substr(colon + 1), text)};
}

PixelDepth depthOf(int bits) {
    return bits == 8 ? PixelDepth::Bits8 : bits == 16 ? PixelDepth::Bits16 : PixelDepth::Float32;
}

void render(const GlobalOptions& global, const RenderOptions& options) {
    Frame frame;
    frame.depth = depthOf(options.depth);
    std::tie(frame.downsampleX, frame.downsampleY) = parseDownsample(options.downsample);
    frame.timeScale = timeScale;
    frame.timeStep = static_cast<A_long>(timeScale / 30);
    frame.time = frameTime(options.time, frame.timeScale, frame.timeStep);
    checkWritable(options.output);

    const auto effect = applyEffect(global, options.effect, true);
    for (const auto& assignment : options.assignments) {
        assignParam(*effect, options.effect, assignment);
    }
    setThreads(*effect, options.threads);

    // The layer's size is known, and checked, before memory is set aside for its pixels.
    std::optional<InputImage> input;
    std::string layerName = "--size " + options.size;
    if (options.input) {
        input.emplace(*options.input);
        layerName = "input " + quoted(*options.input);
        checkLayerSize(input->width(), input->height(), layerName);
        frame.layerWidth = input->width();
        frame.layerHeight = input->height();
    } else {
        std::tie(frame.layerWidth, frame.layerHeight) = parseSize(options.size);
    }
    checkMemory(frame, layerName);
    const World layer = input ? input->read(frame.depth)
                              : defaultLayer(frame.layerWidth, frame.layerHeight, frame.depth);

    World output(1, 1, frame.depth);
    PF_Err err = PF_Err_NONE;
    {
        const Progress progress("rendering " + options.effect + " at " +
                                std::to_string(layer.width()) + "x" +
                                std::to_string(layer.height()));
        err = effect->renderFrame(frame, layer, output);
    }
    if (err != PF_Err_NONE) {
        throw CliError(options.effect + " failed to render: host error " + std::to_string(err));
    }
    writeImage(output, options.output);
}

} // namespace

void addRenderCommand(CLI::App& app, const GlobalOptions& global) {
    auto options = std::make_shared<RenderOptions>();
    auto* cmd = app.add_subcommand("render", "Render one frame of an effect to an image file");
    cmd->add_option("EFFECT", options->effect, "Effect name or match name")->required();
    cmd->add_option("-o,--output", options->output,
                    "Image file to write; the format follows the name (.png, .tif, .exr, ...)")
        ->required();
    auto* input = cmd->add_option("-i,--input", options->input,
                                  "Image file to render over (default: a built-in layer)");
    cmd->add_option("--set", options->assignments,
                    "NAME=VALUE: a parameter by its own name, e.g. \"Radius=150\", "
                    "\"Center=960,540\" (layer pixels), \"Fill Color=#ff8800\", "
                    "\"Mode=Fill and Stroke\"; may be repeated")
        ->allow_extra_args(false);
    cmd->add_option("--size", options->size, "WIDTHxHEIGHT of the built-in layer")
        ->capture_default_str()
        ->excludes(input);
    cmd->add_option("--depth", options->depth, "Bits per channel: 8, 16 or 32 (float)")
        ->check(CLI::IsMember({8, 16, 32}))
        ->capture_default_str();
    cmd->add_option("--time", options->time, "Time of the frame in seconds")->capture_default_str();
    cmd->add_option("--downsample", options->downsample,
                    "X[:Y]: render at 1/X (and 1/Y vertically) of full resolution; fractions "
                    "A/B also work")
        ->capture_default_str();
    cmd->add_option("--threads", options->threads,
                    "Worker threads for drawing; 0 uses one per hardware thread")
        ->capture_default_str();
    cmd->callback([&global, options] { render(global, *options); });
}

} // namespace OndrelCli
