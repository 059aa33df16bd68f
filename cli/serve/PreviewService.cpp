#include "cli/serve/PreviewService.h"

#include "cli/core/PlainText.h"
#include "cli/core/Text.h"
#include "cli/image/DefaultLayer.h"
#include "cli/image/ImageFiles.h"
#include "cli/image/Pixels.h"
#include "cli/params/ParamAssignment.h"
#include "cli/params/ParamText.h"
#include "cli/serve/Controls.h"
#include "cli/serve/Rgba8.h"
#include "cli/shot/FramePattern.h"
#include "cli/shot/RenderLimits.h"
#include "cli/shot/Shot.h"

#include "host/pixels/PixelDepth.h"
#include "host/pixels/ScaledLayer.h"
#include "host/system/HostError.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace OndrelCli {

namespace fs = std::filesystem;
using OfflineHost::EffectInstance;
using OfflineHost::World;

struct PreviewService::Request {
    Recipe recipe;
    Shot shot;
    int frame = 0;
    bool overInput = false;
    std::uint64_t base = 0; // none
};

namespace {

[[noreturn]] void refuse(const std::string& what) {
    throw ServeError(400, what);
}

// Runs `work`, turning the command's own refusals into the request's.
template <typename Work>
auto asRequestError(Work&& work) -> decltype(work()) {
    try {
        return work();
    } catch (const CliError& e) {
        refuse(e.what());
    } catch (const OfflineHost::HostError& e) {
        refuse(e.what());
    }
}

std::string moduleMessage(const EffectInstance& effect) {
    const auto& msg = effect.outData().return_msg;
    return std::string(msg, strnlen(msg, sizeof msg));
}

[[noreturn]] void moduleFailed(const EffectInstance& effect, const std::string& effectName,
                               const std::string& what, PF_Err err) {
    const std::string said = moduleMessage(effect);
    throw ServeError(500, effectName + " " + what + ": host error " + std::to_string(err) +
                              (said.empty() ? "" : "; the module says: " + said));
}

bool isGroup(const PF_ParamDef& def) {
    return def.param_type == PF_Param_GROUP_START || def.param_type == PF_Param_GROUP_END;
}

// Where a value of the page's recipe is set on the page, for messages: the parameter's control by
// its name, or the setting by its label ("Size: expected WIDTHxHEIGHT...").
std::string controlOf(const Json::json_pointer& at, const Json& /*value*/) {
    static const std::map<std::string, std::string> labels = {
        {"effect", "Effect"},         {"depth", "Depth"},        {"size", "Size"},
        {"fps", "Frame rate"},        {"frames", "Frame range"}, {"downsample", "Downsample"},
        {"params", "The parameters"}, {"", "The recipe"}};
    std::vector<std::string> tokens;
    for (Json::json_pointer p = at; !p.empty(); p = p.parent_pointer()) {
        tokens.insert(tokens.begin(), p.back());
    }
    if (tokens.size() >= 2 && tokens[0] == "params") {
        return tokens[1];
    }
    const std::string field = tokens.empty() ? "" : tokens[0];
    const auto label = labels.find(field);
    return label != labels.end() ? label->second : inQuotes(field);
}

// Refuses a preview of more than maxPreviewPixels at its downsample (the page asks for 1/N).
void checkPreviewSize(const Shot& shot) {
    const auto side = [](A_long full, long long factor) { return (full + factor - 1) / factor; };
    const auto pixels = [&](long long factor) {
        return side(shot.width, factor) * side(shot.height, factor);
    };
    const long long asked = shot.downsampleX.den;
    if (pixels(asked) <= maxPreviewPixels) {
        return;
    }
    long long enough = asked;
    while (pixels(enough) > maxPreviewPixels) {
        ++enough;
    }
    refuse("a preview of " + std::to_string(side(shot.width, asked)) + "x" +
           std::to_string(side(shot.height, asked)) + " is more than a page shows (at most " +
           std::to_string(maxPreviewPixels) + " pixels); ask for a downsample of " +
           std::to_string(enough) + " or more");
}

// Whether two paths name one file, or would once it is there.
bool samePath(const fs::path& a, const fs::path& b) {
    std::error_code error;
    if (fs::equivalent(a, b, error)) {
        return true;
    }
    const fs::path wholeA = fs::absolute(a, error).lexically_normal();
    const bool known = !error;
    const fs::path wholeB = fs::absolute(b, error).lexically_normal();
    return known && !error && wholeA == wholeB;
}

// A frame at the rate, as the page counts key times.
double keyFrame(const KeyTime& time, const FrameRate& rate) {
    return time.inSeconds ? time.amount * rate.num / rate.den : time.amount;
}

// A parameter's track as the page holds it: {"value"}, or keyframes at frames in time order.
Json trackJson(const ParamTrack& track, const FrameRate& rate) {
    if (track.keys.size() == 1 && !track.keys.front().time) {
        return Json{{"value", track.keys.front().value}};
    }
    std::vector<Keyframe> keys = track.keys;
    std::stable_sort(keys.begin(), keys.end(), [&](const Keyframe& a, const Keyframe& b) {
        return keyFrame(*a.time, rate) < keyFrame(*b.time, rate);
    });
    Json work{{"keys", Json::array()}};
    for (const Keyframe& key : keys) {
        Json& added = work["keys"].emplace_back(
            Json{{"time", keyFrame(*key.time, rate)}, {"value", key.value}});
        if (key.interpolation) {
            added["interpolation"] = interpolationName(*key.interpolation);
        }
    }
    if (track.interpolation) {
        work["interpolation"] = interpolationName(*track.interpolation);
    }
    return work;
}

Json settingJson(const Recipe& recipe, const std::string& field) {
    const Setting* s = recipe.setting(field);
    return s != nullptr ? Json(s->text) : Json(nullptr);
}

} // namespace

PreviewService::PreviewService(const GlobalOptions& options, std::optional<fs::path> input,
                               const std::optional<Recipe>& start)
    : m_options(options), m_input(std::move(input)) {
    if (m_input) {
        checkPlainText(m_input->string(), "-i " + quoted(*m_input));
        if (FramePattern(*m_input).isSequence()) {
            throw CliError("-i " + quoted(*m_input) +
                           ": the preview takes one image file, not a sequence");
        }
        m_input = fs::absolute(*m_input);
        // Read once, now, with the checks a render makes: whatever becomes of the file later,
        // the page previews what was checked. In float, which holds every depth the page asks
        // for.
        InputImage image(*m_input);
        const std::string what = "input " + quoted(*m_input);
        checkLayerSize(image.width(), image.height(), what);
        m_inputWidth = image.width();
        m_inputHeight = image.height();
        OfflineHost::Frame frame;
        frame.layerWidth = m_inputWidth;
        frame.layerHeight = m_inputHeight;
        frame.depth = OfflineHost::PixelDepth::Float32;
        checkMemory(frame, what);
        m_inputLayers.emplace(frame.depth, image.read(frame.depth));
    }
    // Held here: a range-for would let the module go before its list of effects is read.
    const auto module = loadModule(options);
    for (const auto& effect : module->effects()) {
        const std::string& name = effect.records().name;
        auto instance = applyEffect(options, name, true);
        m_about[name] = instance->about();
        m_effects[name] = std::move(instance);
        m_names.push_back(name);
    }
    if (start) {
        m_start = _work(*start, start->file ? start->file->string() : "(standard input)");
    }
}

PreviewService::~PreviewService() = default;

Json PreviewService::effects() const {
    const Shot defaults;
    Json input = nullptr;
    if (m_input) {
        input = Json{{"name", m_input->filename().string()},
                     {"width", m_inputWidth},
                     {"height", m_inputHeight}};
    }
    return Json{
        {"effects", m_names},
        {"module", m_options.module.filename().string()},
        {"input", input},
        {"size", std::to_string(defaults.width) + "x" + std::to_string(defaults.height)},
        {"preview", {{"maxPixels", maxPreviewPixels}, {"maxDownsample", maxPreviewDownsample}}}};
}

Json PreviewService::controls(const std::string& effect) {
    std::lock_guard lock(m_hostMutex);
    const auto found = m_effects.find(effect);
    if (found == m_effects.end()) {
        refuse("no effect " + inQuotes(effect) + "; the module holds " + joined(m_names));
    }
    return Json{{"effect", effect},
                {"about", m_about.at(effect)},
                {"controls", controlsJson(*found->second)}};
}

PreviewService::Request PreviewService::_request(const Json& json) const {
    if (!json.is_object() || !json.contains("recipe") || !json["recipe"].is_object()) {
        refuse("a request is {\"recipe\": {...}, \"frame\": N, \"background\": ...}");
    }
    const Json& recipe = json["recipe"];
    for (const char* field : {"module", "input", "output"}) {
        if (recipe.contains(field)) {
            refuse(inQuotes(field) + " names a file; the page reads no file but the server's "
                                     "module and input (ondrel serve --module, -i)");
        }
    }
    Request request;
    request.recipe = asRequestError([&] { return readRecipeJson(recipe, controlOf, "."); });
    request.shot = asRequestError([&] { return resolveShot(request.recipe, m_options.module); });
    if (m_effects.count(request.shot.effect) == 0) {
        refuse("no effect " + inQuotes(request.shot.effect) + "; the module holds " +
               joined(m_names));
    }
    const Json frame = json.value("frame", Json(0));
    if (!frame.is_number_integer() || std::abs(frame.get<long long>()) > maxFrameNumber ||
        std::abs(frame.get<long long>()) * request.shot.rate.den >
            std::numeric_limits<A_long>::max()) {
        refuse("\"frame\" is a whole frame number the host's time can count");
    }
    request.frame = frame.get<int>();
    const Json background = json.value("background", Json("built-in"));
    if (background == "input") {
        if (!m_input) {
            refuse("there is no input to preview over; start the server with -i INPUT");
        }
        request.overInput = true;
        request.shot.input.emplace(*m_input);
        request.shot.width = m_inputWidth;
        request.shot.height = m_inputHeight;
    } else if (background != "built-in") {
        refuse("\"background\" is \"input\" or \"built-in\"");
    }
    const Json downsample = json.value("downsample", Json(1));
    if (!downsample.is_number_integer() || downsample.get<long long>() < 1 ||
        downsample.get<long long>() > maxPreviewDownsample) {
        refuse("\"downsample\" is a whole number from 1 to " +
               std::to_string(maxPreviewDownsample));
    }
    if (const auto factor = downsample.get<A_u_long>(); factor > 1) {
        request.shot.downsampleX = request.shot.downsampleY = PF_RationalScale{1, factor};
    }
    const Json base = json.value("base", Json(0));
    if (!base.is_number_integer() || base.get<long long>() < 0) {
        refuse("\"base\" is the number of a preview the page shows");
    }
    request.base = base.get<std::uint64_t>();
    return request;
}

EffectInstance& PreviewService::_applied(const Request& request) {
    EffectInstance& effect = *m_effects.at(request.shot.effect);
    // The parameters afresh, then what the page set: the request holds all of it.
    if (const PF_Err err = effect.paramsSetup()) {
        moduleFailed(effect, request.shot.effect, "failed to set up its parameters", err);
    }
    asRequestError([&] { applyParams(effect, request.shot); });
    effect.diagnostics().clearCalls(); // the host's call log would grow with every request
    return effect;
}

OfflineHost::Frame PreviewService::_frame(const Request& request, A_long width,
                                          A_long height) const {
    OfflineHost::Frame frame = request.shot.hostFrame(request.frame);
    frame.layerWidth = width;
    frame.layerHeight = height;
    return frame;
}

World& PreviewService::_layer(const Request& request) {
    const Shot& shot = request.shot;
    if (request.overInput) {
        auto found = m_inputLayers.find(shot.depth);
        if (found == m_inputLayers.end()) {
            // The float layer read at start, and at most one other depth made from it.
            m_scaledLayer.reset();
            std::erase_if(m_inputLayers, [](const auto& layer) {
                return layer.first != OfflineHost::PixelDepth::Float32;
            });
            const World& read = m_inputLayers.at(OfflineHost::PixelDepth::Float32);
            found = m_inputLayers.emplace(shot.depth, convertedWorld(read, shot.depth)).first;
        }
        return found->second;
    }
    // Made at the preview's size as the host would scale the full layer down: a request costs
    // what its preview costs, whatever layer size it names.
    const OfflineHost::Frame frame = _frame(request, shot.width, shot.height);
    const auto same = [](const PF_RationalScale& a, const PF_RationalScale& b) {
        return a.num == b.num && a.den == b.den;
    };
    if (!m_builtInLayer || m_builtInFrame.layerWidth != frame.layerWidth ||
        m_builtInFrame.layerHeight != frame.layerHeight || m_builtInFrame.depth != frame.depth ||
        !same(m_builtInFrame.downsampleX, frame.downsampleX) ||
        !same(m_builtInFrame.downsampleY, frame.downsampleY)) {
        m_builtInLayer.reset(); // its memory is free for the next one
        // What the render holds: all of it at the preview's size.
        OfflineHost::Frame held = frame;
        held.layerWidth = frame.scaledWidth();
        held.layerHeight = frame.scaledHeight();
        held.downsampleX = held.downsampleY = PF_RationalScale{1, 1};
        asRequestError([&] {
            checkMemory(held,
                        "size " + std::to_string(shot.width) + "x" + std::to_string(shot.height));
        });
        m_builtInLayer.emplace(defaultLayer(frame));
        m_builtInFrame = frame;
    }
    return *m_builtInLayer;
}

World& PreviewService::_input(const Request& request, World& layer) {
    const A_u_long factor = request.shot.downsampleX.den; // the page asks for 1/N
    if (factor == 1 || !request.overInput) {
        m_scaledLayer.reset();
        return layer; // the built-in layer is made at the preview's size
    }
    if (!m_scaledLayer || m_scaledLayer->from != &layer || m_scaledLayer->factor != factor) {
        const OfflineHost::Frame frame = _frame(request, layer.width(), layer.height());
        m_scaledLayer.reset();
        World scaled(frame.scaledWidth(), frame.scaledHeight(), layer.depth());
        OfflineHost::scaleDown(layer, frame.downsampleX, frame.downsampleY, scaled);
        m_scaledLayer.emplace(ScaledLayer{&layer, factor, std::move(scaled)});
    }
    return m_scaledLayer->world;
}

Json PreviewService::state(const Json& json) {
    std::lock_guard lock(m_hostMutex);
    const Request request = _request(json);
    EffectInstance& effect = _applied(request);
    OfflineHost::Frame frame = _frame(request, request.shot.width, request.shot.height);
    // Values as users see them: at full resolution.
    frame.downsampleX = frame.downsampleY = PF_RationalScale{1, 1};
    effect.setFrame(frame);
    Json result{{"values", Json::array()}, {"disabled", Json::array()}, {"hidden", Json::array()}};
    if (const PF_Err err = effect.updateParamsUI()) {
        const std::string said = moduleMessage(effect);
        result["error"] = request.shot.effect + " failed to update its controls: host error " +
                          std::to_string(err) + (said.empty() ? "" : "; the module says: " + said);
    }
    for (int i = 0; i < effect.paramCount(); ++i) {
        const PF_ParamDef& def = effect.paramDef(i);
        result["values"].push_back(
            i == 0 || isGroup(def) ? Json(nullptr) : Json(deliveredText(effect.valueAt(i, frame))));
        if (def.ui_flags & PF_PUI_DISABLED) {
            result["disabled"].push_back(i);
        }
        if (def.ui_flags & PF_PUI_INVISIBLE) {
            result["hidden"].push_back(i);
        }
    }
    return result;
}

std::optional<PreviewImage> PreviewService::_render(const Request& request,
                                                    const std::function<bool()>& superseded) {
    EffectInstance& effect = _applied(request);
    World& layer = _layer(request);
    const OfflineHost::Frame frame = _frame(request, request.shot.width, request.shot.height);
    World& input = _input(request, layer);
    if (m_output.width() != frame.scaledWidth() || m_output.height() != frame.scaledHeight() ||
        m_output.depth() != frame.depth) {
        m_output = World(frame.scaledWidth(), frame.scaledHeight(), frame.depth);
    }
    PF_Err err = PF_Err_NONE;
    struct Uninterruptible {
        EffectInstance& effect;
        ~Uninterruptible() { effect.setInterrupt({}); }
    } afterwards{effect};
    effect.setInterrupt(superseded);
    try {
        // EffectInstance::renderFrame, with the scaled layer kept.
        err = effect.smartRender(frame, input, m_output);
    } catch (const OfflineHost::HostError& e) {
        // Strict mode's findings, or a module the host refused.
        throw ServeError(500, e.what());
    }
    effect.diagnostics().clearCalls();
    if (err == PF_Interrupt_CANCEL && superseded()) {
        return std::nullopt;
    }
    if (err != PF_Err_NONE) {
        moduleFailed(effect, request.shot.effect, "failed to render", err);
    }
    if (superseded()) {
        return std::nullopt;
    }
    PreviewImage image;
    image.width = m_output.width();
    image.height = m_output.height();
    image.moduleMessage = moduleMessage(effect);
    std::string rgba = m_sent.spare();
    rgba.resize(4 * static_cast<std::size_t>(image.width) * image.height);
    loadRgba8(m_output, reinterpret_cast<std::uint8_t*>(rgba.data()));
    const SentPreviews::Sent* base = m_sent.find(request.base);
    if (base != nullptr && base->width == image.width && base->height == image.height) {
        const ChangedRect changed = changedRect(base->rgba, rgba, image.width, image.height);
        image.rgba = cropRgba(rgba, image.width, changed);
        image.changed = changed;
        image.base = request.base;
    } else {
        image.rgba = rgba;
    }
    // Last, as remembering may forget the base.
    image.number = m_sent.remember(image.width, image.height, std::move(rgba));
    return image;
}

std::optional<PreviewImage> PreviewService::preview(const Json& json) {
    const LatestRenderGate::Ticket ticket = m_previews.take();
    const Request request = _request(json);
    checkPreviewSize(request.shot);
    std::optional<PreviewImage> image;
    const bool wanted = m_previews.run(ticket, [&] {
        std::lock_guard lock(m_hostMutex);
        image = _render(request, [&] { return !m_previews.isNewest(ticket); });
    });
    if (!wanted) {
        return std::nullopt;
    }
    return image;
}

std::string PreviewService::recipe(const Json& json) {
    std::lock_guard lock(m_hostMutex);
    Request request = _request(json);
    const EffectInstance& effect = _applied(request);
    Recipe recipe = request.recipe;
    if (request.overInput) {
        recipe.settings["input"] = {m_input->string(), "input", false};
        recipe.settings.erase("size");
    }
    if (m_options.moduleGiven) {
        recipe.settings["module"] = {fs::absolute(m_options.module).string(), "--module", false};
    }
    for (const char* field : {"output", "compression"}) {
        const Json kept = json.value(field, Json(nullptr));
        if (kept.is_null()) {
            continue;
        }
        if (!kept.is_string()) {
            refuse(inQuotes(field) + " is the text a recipe the page opened gave");
        }
        asRequestError([&] { checkPlainText(kept.get<std::string>(), inQuotes(field)); });
        recipe.settings[field] = {kept.get<std::string>(), field, false};
    }
    return recipeText(completeRecipe(recipe, request.shot, effect));
}

Json PreviewService::startingRecipe() const {
    return Json{{"recipe", m_start}};
}

Json PreviewService::openRecipe(const Json& json) {
    if (!json.is_object() || !json.contains("name") || !json["name"].is_string() ||
        !json.contains("text") || !json["text"].is_string()) {
        refuse("a recipe to open is {\"name\": \"shot.json\", \"text\": \"{...}\"}");
    }
    const std::string name = json["name"].get<std::string>();
    return asRequestError([&] {
        checkPlainText(name, "the recipe's name " + inQuotes(name));
        std::lock_guard lock(m_hostMutex);
        return _work(parseRecipe(json["text"].get<std::string>(), name, fs::current_path()), name);
    });
}

Json PreviewService::_work(Recipe recipe, const std::string& name) {
    // What the recipe names that the server does not take, and what it keeps in their place.
    const auto both = [](const std::vector<std::string>& items) {
        return items.size() == 2 ? items[0] + " and " + items[1] : items[0];
    };
    std::vector<std::string> named;
    std::vector<std::string> kept;
    // An empty path names no file.
    if (const Setting* module = recipe.setting("module")) {
        if (!module->text.empty() && !samePath(module->text, m_options.module)) {
            named.push_back("module " + quoted(fs::path(module->text)));
            kept.push_back("module " + quoted(m_options.module.filename()));
        }
        recipe.settings.erase("module");
    }
    bool overInput = false;
    if (const Setting* input = recipe.setting("input")) {
        overInput = m_input && !input->text.empty();
        if (!input->text.empty() && (!m_input || !samePath(input->text, *m_input))) {
            named.push_back("input " + quoted(fs::path(input->text)));
            kept.push_back(m_input ? "input " + quoted(m_input->filename())
                                   : std::string("the built-in layer"));
        }
        recipe.settings.erase("input");
    }
    const Shot shot = resolveShot(recipe, m_options.module);
    const auto found = m_effects.find(shot.effect);
    if (found == m_effects.end()) {
        throw CliError(recipe.setting("effect")->origin + ": no effect " + inQuotes(shot.effect) +
                       "; the module holds " + joined(m_names));
    }
    EffectInstance& effect = *found->second;
    if (const PF_Err err = effect.paramsSetup()) {
        moduleFailed(effect, shot.effect, "failed to set up its parameters", err);
    }
    applyParams(effect, shot);
    effect.diagnostics().clearCalls();

    Json params = Json::object();
    for (const RecipeParam& param : shot.params) {
        // By the name the effect gives it: the page finds its control by that.
        const PF_ParamDef& def = effect.paramDef(settableParam(effect, shot.effect, param.name));
        params[std::string(def.name, strnlen(def.name, sizeof def.name))] =
            trackJson(param.track, shot.rate);
    }
    const Setting* fps = recipe.setting("fps");
    return Json{{"effect", shot.effect},
                {"depth", OfflineHost::bitsPerChannel(shot.depth)},
                {"fps", fps != nullptr ? fps->text : shot.rate.text()},
                {"size", std::to_string(shot.width) + "x" + std::to_string(shot.height)},
                {"background", overInput ? "input" : "built-in"},
                {"frames", shot.isSequence()
                               ? Json::array({shot.frames.front(), shot.frames.back()})
                               : Json(nullptr)},
                {"params", params},
                {"output", settingJson(recipe, "output")},
                {"compression", settingJson(recipe, "compression")},
                {"note", named.empty() ? Json(nullptr)
                                       : Json(name + " names " + both(named) +
                                              "; ondrel serve keeps its own: " + both(kept))}};
}

} // namespace OndrelCli
