#pragma once

// What `ondrel serve` answers, apart from HTTP (PreviewServer carries it): the module's effects,
// an effect's controls, the values and graying at a frame, previews and the recipe to save.
//
// The page describes what the user set as a recipe (Recipe.h), the same one it saves, and sends
// it with each request, so that no state lives between requests but the loaded module and the
// layers:
//
//   {"recipe": {"effect": "OndrelCircle", "depth": 16, "params": {"Radius": 150}},
//    "frame": 12, "background": "input" | "built-in", "downsample": 4, "base": 17}
//
// "downsample" renders at 1/N; "base" names the preview the page shows, for a preview to answer
// with what changed since (PreviewDelta.h).
//
// Only the server's own files are read: a recipe from the page naming a module, an input or an
// output is refused. An output the page kept from a recipe it opened comes beside the recipe
// ("output", "compression") to be written into the one it saves, and nowhere else.
//
// A recipe file (`ondrel serve --recipe`, or one the page opens) becomes the page's work, as the
// page holds it (state.js), once checked as `ondrel render --recipe` checks it:
//
//   {"effect": "OndrelCircle", "depth": 16, "fps": "24", "size": "1920x1080",
//    "background": "input" | "built-in", "frames": [1, 48] or null,
//    "params": {"Radius": {"value": "150"},
//               "Scale": {"interpolation": "ease", "keys": [{"time": 0, "value": "50"}]}},
//    "output": path or null, "compression": text or null, "note": one line or null}
//
// Key times are frames at the recipe's rate. The module and the input stay the server's: a
// recipe naming others is read without them, and "note" says so.

#include "cli/core/Effects.h"
#include "cli/serve/LatestRenderGate.h"
#include "cli/serve/PreviewDelta.h"
#include "cli/shot/JsonDocument.h"
#include "cli/shot/Recipe.h"

#include "host/instance/EffectInstance.h"
#include "host/pixels/World.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace OndrelCli {

struct Shot;

// A request the service cannot answer, with the HTTP status that says whose fault it is (400:
// the request's, 500: the module's) and one line for the page.
class ServeError : public std::runtime_error {
public:
    ServeError(int code, const std::string& what) : std::runtime_error(what), status(code) {}
    int status;
};

// A rendered frame as the page shows it: 8 bits per channel whatever the render's depth,
// red, green, blue and straight alpha, rows top to bottom (Rgba8.h), held as the bytes of the
// answer's body: the whole frame, or only what changed since the request's base (PreviewDelta.h).
struct PreviewImage {
    A_long width = 0; // the frame's
    A_long height = 0;
    std::string rgba;
    std::uint64_t number = 0; // for a later request to name as its base
    // Set when `rgba` holds only this rectangle, and the rest is the base's.
    std::optional<ChangedRect> changed;
    std::uint64_t base = 0;
    std::string moduleMessage; // what the module wrote into its message, if anything
};

// The most pixels a preview may have, about twice a 4K display's: more than a browser window
// shows. The page asks for the downsample (1/N) at which the preview fills its stage, or a
// coarser draft; N of maxPreviewDownsample covers the largest layer in a small window.
constexpr long long maxPreviewPixels = 2LL * 3840 * 2160;
constexpr int maxPreviewDownsample = 64;

class PreviewService {
public:
    // Loads the module and applies each of its effects; reads the input (one image file) when
    // given, once, with the checks a render makes of it; checks the recipe the page starts from,
    // when given. Throws CliError or HostError.
    PreviewService(const GlobalOptions& options, std::optional<std::filesystem::path> input,
                   const std::optional<Recipe>& start = std::nullopt);
    ~PreviewService();
    PreviewService(const PreviewService&) = delete;
    PreviewService& operator=(const PreviewService&) = delete;

    // {"effects": [names], "module": its file's name, "input": {"name", "width", "height"} or
    //  null, "size": "WxH", "preview": {"maxPixels", "maxDownsample"}}
    Json effects() const;
    // {"effect", "about", "controls": [...] (Controls.h)}. Throws ServeError.
    Json controls(const std::string& effect);
    // The parameters' values at the request's frame, as text --set takes, and the controls the
    // module grays after the parameter-UI update: {"values": [...], "disabled": [indices],
    // "hidden": [indices], "error": text (when the update failed)}. Throws ServeError.
    Json state(const Json& request);
    // The frame rendered at the request's downsample, or nothing when a newer preview request
    // superseded it (see LatestRenderGate), before or while it rendered: a render overtaken while
    // it runs is interrupted between bands. Throws ServeError, also for a preview of more than
    // maxPreviewPixels (before any work).
    std::optional<PreviewImage> preview(const Json& request);
    // The recipe file that renders what the page shows (`ondrel render --recipe`): every
    // parameter, the server's input or the built-in layer's size, and the output the request
    // keeps. Throws ServeError.
    std::string recipe(const Json& request);
    // {"recipe": the work of the recipe the server started with, or null}.
    Json startingRecipe() const;
    // The work of a recipe file's text the page read, {"name": "shot.json", "text": "{...}"},
    // read as `ondrel render --recipe` reads a file of that name (paths in it from the server's
    // folder, as for a recipe on standard input). Throws ServeError with the reader's message.
    Json openRecipe(const Json& request);

private:
    struct Request;
    Request _request(const Json& json) const;
    OfflineHost::EffectInstance& _applied(const Request& request);
    OfflineHost::World& _layer(const Request& request);
    OfflineHost::World& _input(const Request& request, OfflineHost::World& layer);
    OfflineHost::Frame _frame(const Request& request, A_long width, A_long height) const;
    std::optional<PreviewImage> _render(const Request& request,
                                        const std::function<bool()>& superseded);
    Json _work(Recipe recipe, const std::string& name);

    GlobalOptions m_options;
    std::optional<std::filesystem::path> m_input;
    A_long m_inputWidth = 0;
    A_long m_inputHeight = 0;
    std::map<std::string, std::unique_ptr<OfflineHost::EffectInstance>> m_effects;
    std::vector<std::string> m_names; // in the module's order
    std::map<std::string, std::string> m_about;
    Json m_start; // the starting recipe's work, or null

    std::mutex m_hostMutex; // the instances and layers serve one request at a time
    // The input as read at start, in float, and at most one other depth made from it.
    std::map<OfflineHost::PixelDepth, OfflineHost::World> m_inputLayers;
    std::optional<OfflineHost::World> m_builtInLayer; // at the downsample of m_builtInFrame
    OfflineHost::Frame m_builtInFrame;
    // The input at a downsample as the host hands it to the effect, kept while the depth and the
    // factor stay (the host would scale it anew for every frame); and the output world.
    struct ScaledLayer {
        const OfflineHost::World* from;
        A_u_long factor;
        OfflineHost::World world;
    };
    std::optional<ScaledLayer> m_scaledLayer;
    OfflineHost::World m_output{0, 0, OfflineHost::PixelDepth::Bits8};
    LatestRenderGate m_previews;
    SentPreviews m_sent; // under m_hostMutex
};

} // namespace OndrelCli
