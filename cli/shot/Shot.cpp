#include "cli/shot/Shot.h"

#include "cli/core/CliError.h"
#include "cli/core/PlainText.h"
#include "cli/core/Text.h"
#include "cli/image/ImageFiles.h"
#include "cli/params/ParamAssignment.h"
#include "cli/params/ParamText.h"
#include "cli/shot/RenderLimits.h"
#include "host/pixels/PixelDepth.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>

namespace OndrelCli {

using OfflineHost::Interpolation;
using OfflineHost::PixelDepth;

namespace {

// A single frame's time is counted in 1/600 s, fine enough for every common frame rate.
constexpr A_u_long singleFrameTimeScale = 600;

std::pair<A_long, A_long> parseSize(const std::string& text) {
    const auto x = text.find('x');
    const auto w = x == std::string::npos ? std::nullopt : wholeNumber(text.substr(0, x));
    const auto h = x == std::string::npos ? std::nullopt : wholeNumber(text.substr(x + 1));
    if (!w || !h || *w < 1 || *h < 1 || *w > maxLayerSide || *h > maxLayerSide) {
        throw UsageError("expected WIDTHxHEIGHT, each 1 to " + std::to_string(maxLayerSide));
    }
    return {static_cast<A_long>(*w), static_cast<A_long>(*h)};
}

// One factor: "N" renders at 1/N of full resolution, "A/B" at A/B (at most 1).
PF_RationalScale parseFactor(std::string_view text) {
    const auto slash = text.find('/');
    std::optional<long> num = 1;
    std::optional<long> den = wholeNumber(text);
    if (slash != std::string_view::npos) {
        num = wholeNumber(text.substr(0, slash));
        den = wholeNumber(text.substr(slash + 1));
    }
    if (!num || !den || *num < 1 || *den < *num || *den > maxLayerSide) {
        throw UsageError("expected X or X:Y, each a whole number N (1/N of full resolution) or a "
                         "fraction A/B no greater than 1");
    }
    return {static_cast<A_long>(*num), static_cast<A_u_long>(*den)};
}

std::pair<PF_RationalScale, PF_RationalScale> parseDownsample(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        const PF_RationalScale both = parseFactor(text);
        return {both, both};
    }
    return {parseFactor(text.substr(0, colon)), parseFactor(text.substr(colon + 1))};
}

PixelDepth parseDepth(const std::string& text) {
    for (const PixelDepth depth : OfflineHost::pixelDepths) {
        if (text == std::to_string(OfflineHost::bitsPerChannel(depth))) {
            return depth;
        }
    }
    throw UsageError("expected 8, 16 or 32 (float) bits per channel");
}

// Parses a setting when it is there, naming where it came from when it is wrong.
class Settings {
public:
    explicit Settings(const Recipe& recipe) : m_recipe(recipe) {}

    template <typename Parse>
    void read(const std::string& field, Parse&& parse) const {
        if (const Setting* s = m_recipe.setting(field)) {
            inContext(
                s->origin, [&] { parse(s->text); }, s->onCommandLine);
        }
    }
    [[noreturn]] void refuse(const std::string& field, const std::string& what) const {
        if (const Setting* s = m_recipe.setting(field)) {
            refuseGiven(s->origin, what, s->onCommandLine);
        }
        throw UsageError(what);
    }

private:
    const Recipe& m_recipe;
};

void applyParam(OfflineHost::EffectInstance& effect, const Shot& shot, const RecipeParam& param,
                int index) {
    const PF_ParamDef& def = effect.paramDef(index);
    std::map<double, std::string> times; // each keyframe's time in seconds, as written
    for (std::size_t i = 0; i < param.track.keys.size(); ++i) {
        const Keyframe& key = param.track.keys[i];
        const std::string& origin =
            i < param.keyOrigins.size() ? param.keyOrigins[i] : param.origin;
        const std::string when = key.time ? key.time->text() : std::string();
        // Where the key was given is spelt out only for a message: one --set gives every key
        // the same origin, its whole text.
        try {
            const auto interpolation =
                key.interpolation ? key.interpolation : param.track.interpolation;
            if (interpolation.value_or(Interpolation::Hold) != Interpolation::Hold &&
                !OfflineHost::interpolates(def)) {
                throw UsageError(inQuotes(param.name) +
                                 " holds each keyframe until the next: it takes hold, not " +
                                 interpolationName(*interpolation));
            }
            const double seconds = key.time ? key.time->seconds(shot.rate) : 0.0;
            if (const auto [earlier, added] = times.emplace(seconds, when); !added) {
                throw UsageError("a second keyframe of " + inQuotes(param.name) +
                                 " at the time of " + earlier->second);
            }
            assignValue(effect, index, key.value, seconds, interpolation);
        } catch (const UsageError& e) {
            refuseGiven(key.time ? origin + ": at " + when : origin, e.what(), param.onCommandLine);
        } catch (const CliError& e) {
            throw CliError((key.time ? origin + ": at " + when : origin) + ": " + e.what());
        }
    }
}

// Names and values go on into file names, messages, recipes and batch scripts: none may hold a
// line break or another control character (PlainText.h).
void checkPlainTexts(const Recipe& recipe) {
    for (const auto& [field, setting] : recipe.settings) {
        checkPlainText(setting.text, setting.origin);
    }
    for (const RecipeParam& param : recipe.params) {
        checkPlainText(param.name, param.origin);
        for (std::size_t i = 0; i < param.track.keys.size(); ++i) {
            checkPlainText(param.track.keys[i].value,
                           i < param.keyOrigins.size() ? param.keyOrigins[i] : param.origin);
        }
    }
}

} // namespace

std::unique_ptr<OfflineHost::EffectInstance> Shot::applyEffect(const GlobalOptions& global) const {
    try {
        GlobalOptions options = global;
        options.module = module;
        return OndrelCli::applyEffect(options, effect, true);
    } catch (const UsageError& e) {
        if (effectOnCommandLine) {
            throw;
        }
        throw CliError(effectOrigin + ": " + e.what()); // the command line itself was right
    }
}

OfflineHost::Frame Shot::hostFrame(std::optional<int> n) const {
    OfflineHost::Frame frame;
    frame.depth = depth;
    frame.downsampleX = downsampleX;
    frame.downsampleY = downsampleY;
    if (n) {
        frame.timeScale = rate.num;
        frame.timeStep = rate.den;
        frame.time = *n * rate.den;
    } else {
        frame.timeScale = singleFrameTimeScale;
        frame.timeStep = std::max<A_long>(
            1, static_cast<A_long>(std::lround(rate.seconds(1) * singleFrameTimeScale)));
        frame.time = frameTime(seconds, frame.timeScale, frame.timeStep);
    }
    return frame;
}

Shot resolveShot(const Recipe& recipe, const std::filesystem::path& module) {
    checkPlainTexts(recipe);
    const Settings settings(recipe);
    Shot shot;
    shot.module = module;
    settings.read("effect", [&](const std::string& t) { shot.effect = t; });
    if (const Setting* s = recipe.setting("effect")) {
        shot.effectOrigin = s->origin;
        shot.effectOnCommandLine = s->onCommandLine;
    }
    if (shot.effect.empty()) {
        throw UsageError("no effect: name one (ondrel list shows them) or give \"effect\" in the "
                         "recipe");
    }
    settings.read("module", [&](const std::string& t) { shot.module = t; });
    settings.read("input", [&](const std::string& t) { shot.input.emplace(t); });
    settings.read("output", [&](const std::string& t) { shot.output.emplace(t); });
    // Checked against the output's format, or when that is not known yet (a recipe without an
    // output, a name no format has) against every format's names.
    settings.read("compression", [&](const std::string& t) {
        checkCompression(t, shot.output ? outputFormat(shot.output->path()) : "");
        shot.compression = t;
    });
    settings.read("size",
                  [&](const std::string& t) { std::tie(shot.width, shot.height) = parseSize(t); });
    settings.read("depth", [&](const std::string& t) { shot.depth = parseDepth(t); });
    settings.read("fps", [&](const std::string& t) { shot.rate = parseFrameRate(t); });
    settings.read("downsample", [&](const std::string& t) {
        std::tie(shot.downsampleX, shot.downsampleY) = parseDownsample(t);
    });
    settings.read("frames", [&](const std::string& t) {
        shot.frames = parseFrames(t);
        // The host counts time in 32 bits.
        if (static_cast<long long>(shot.frames.back()) * shot.rate.den >
            std::numeric_limits<A_long>::max()) {
            throw UsageError("frame " + std::to_string(shot.frames.back()) +
                             " is later than the host's time can count at " + shot.rate.text() +
                             " frames per second");
        }
    });
    // A single frame at a time in seconds, in place of any frames; the host's frame says when
    // the time is beyond what it counts.
    settings.read("time", [&](const std::string& t) {
        const char* end = t.data() + t.size();
        if (const auto [stop, error] = std::from_chars(t.data(), end, shot.seconds);
            t.empty() || error != std::errc() || stop != end) {
            throw UsageError("expected a number of seconds");
        }
        shot.frames.clear();
    });
    if (!shot.isSequence()) {
        shot.hostFrame(std::nullopt);
    }
    shot.params = recipe.params;
    shot.recipeFile = recipe.file;

    if (shot.output && shot.output->isSequence() && !shot.isSequence()) {
        settings.refuse("output", "the file name numbers frames, so give the frames to render "
                                  "(--frames)");
    }
    if (shot.output && !shot.output->isSequence() && shot.frames.size() > 1) {
        settings.refuse("output", std::to_string(shot.frames.size()) +
                                      " frames need a frame number in the file name, such as "
                                      "out.####.exr");
    }
    if (shot.input && shot.input->isSequence() && !shot.isSequence()) {
        settings.refuse("input", "the file name numbers frames, so give the frames to render "
                                 "(--frames)");
    }
    return shot;
}

void writeDefaults(Recipe& recipe, const Shot& shot) {
    const auto fill = [&](const char* field, std::string text) {
        recipe.settings.try_emplace(field, Setting{std::move(text), field, false});
    };
    if (!shot.input) {
        fill("size", std::to_string(shot.width) + "x" + std::to_string(shot.height));
    }
    fill("depth", std::to_string(8 * OfflineHost::pixelBytes(shot.depth) / 4));
    fill("fps", shot.rate.text());
}

void applyParams(OfflineHost::EffectInstance& effect, const Shot& shot) {
    // Names match in any case, so two of them may name one parameter.
    std::map<int, const RecipeParam*> given;
    for (const RecipeParam& param : shot.params) {
        const int index = inContext(
            param.origin, [&] { return settableParam(effect, shot.effect, param.name); },
            param.onCommandLine);
        if (const auto [earlier, added] = given.emplace(index, &param); !added) {
            refuseGiven(param.origin,
                        inQuotes(param.name) + " is given twice; also as " +
                            inQuotes(earlier->second->name) + " at " + earlier->second->origin,
                        param.onCommandLine && earlier->second->onCommandLine);
        }
        applyParam(effect, shot, param, index);
    }
}

Recipe completeRecipe(const Recipe& recipe, const Shot& shot,
                      const OfflineHost::EffectInstance& effect) {
    Recipe complete;
    complete.settings = recipe.settings;
    writeDefaults(complete, shot);
    OfflineHost::Frame frame;
    frame.layerWidth = shot.width;
    frame.layerHeight = shot.height;
    for (int i = 1; i < effect.paramCount(); ++i) {
        const PF_ParamDef& def = effect.paramDef(i);
        if (def.param_type == PF_Param_GROUP_START || def.param_type == PF_Param_GROUP_END) {
            continue;
        }
        const auto given = std::find_if(recipe.params.begin(), recipe.params.end(),
                                        [&](const RecipeParam& p) { return p.name == def.name; });
        if (given != recipe.params.end()) {
            complete.params.push_back(*given);
        } else {
            complete.param(def.name).track = parseTrack(deliveredText(effect.valueAt(i, frame)));
        }
    }
    return complete;
}

} // namespace OndrelCli
