#include "host/instance/EffectInstance.h"

#include "host/instance/InstanceState.h"
#include "host/pixels/PixelDepth.h"
#include "host/pixels/ScaledLayer.h"
#include "host/system/SystemLimits.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <sstream>

namespace OfflineHost {
namespace {

using State = InstanceState;

A_long scaled(A_long size, const PF_RationalScale& scale) {
    if (scale.den == 0 || size <= 0) {
        return size;
    }
    const long long numerator = static_cast<long long>(size) * scale.num;
    return static_cast<A_long>((numerator + scale.den - 1) / scale.den);
}

void checkFrame(const Frame& frame) {
    if (frame.timeScale == 0 || frame.layerWidth < 0 || frame.layerHeight < 0 ||
        frame.downsampleX.num <= 0 || frame.downsampleX.den == 0 || frame.downsampleY.num <= 0 ||
        frame.downsampleY.den == 0) {
        throw HostError("a frame needs a time scale, a layer size of at least 0 and positive "
                        "downsample factors");
    }
}

void checkDepth(const World& world, const Frame& frame, const char* role) {
    if (world.depth() != frame.depth) {
        throw HostError(std::string("the ") + role + " world's depth is not the frame's");
    }
}

std::string hex(std::uint32_t value) {
    std::ostringstream out;
    out << "0x" << std::hex << value;
    return out.str();
}

// Whether a world can serve as a render's input or output of this size and depth as it is: its
// origin at (0, 0), any row padding.
bool fits(const World& world, A_long width, A_long height, PixelDepth depth) {
    const auto& w = world.effectWorld();
    return world.width() == width && world.height() == height && world.depth() == depth &&
           w.origin_x == 0 && w.origin_y == 0;
}

PF_LRect rectOf(const World& world) {
    const auto& w = world.effectWorld();
    return {w.origin_x, w.origin_y, w.origin_x + w.width, w.origin_y + w.height};
}

void preparePreRender(CommandState& c, const PF_LRect& rect, PixelDepth depth) {
    c.preInput = PF_PreRenderInput{};
    c.preInput.output_request.rect = rect;
    c.preInput.output_request.field = PF_Field_FRAME;
    c.preInput.output_request.channel_mask = PF_ChannelMask_ARGB;
    c.preInput.bitdepth = static_cast<short>(bitsPerChannel(depth));
    c.preOutput = PF_PreRenderOutput{};
    c.preCallbacks = makePreRenderCallbacks();
    c.preExtra = PF_PreRenderExtra{&c.preInput, &c.preOutput, &c.preCallbacks};
}

void prepareSmartRender(CommandState& c, const PF_LRect& rect, PixelDepth depth) {
    c.smartInput = PF_SmartRenderInput{};
    c.smartInput.output_request.rect = rect;
    c.smartInput.output_request.field = PF_Field_FRAME;
    c.smartInput.output_request.channel_mask = PF_ChannelMask_ARGB;
    c.smartInput.bitdepth = static_cast<short>(bitsPerChannel(depth));
    c.smartInput.pre_render_data = c.preOutput.pre_render_data;
    c.smartCallbacks = makeSmartRenderCallbacks();
    c.smartExtra = PF_SmartRenderExtra{&c.smartInput, &c.smartCallbacks};
}

// Hands the module's pre-render data to its delete function, once.
void deletePreRenderData(CommandState& r) {
    auto& out = r.preOutput;
    const auto function = std::exchange(out.delete_pre_render_data_func, nullptr);
    void* data = std::exchange(out.pre_render_data, nullptr);
    if (function != nullptr) {
        function(data);
        std::lock_guard lock(r.instance.mutex);
        r.record("delete_pre_render_data_func", "", PF_Err_NONE);
    }
}

// One command: fills the records (prepare), calls the entry function, lets `finish` see the
// result while the command is still open, then closes it. What strict mode finds is thrown as
// StrictModeError, or kept in `found` when one is given.
PF_Err runCommand(CommandState& r, PF_Cmd command, void* extra,
                  const std::function<void()>& prepare = {},
                  const std::function<void(PF_Err)>& finish = {}, std::string* found = nullptr) {
    const EntryFunction entry = r.instance.entry;
    if (entry == nullptr) {
        throw HostError("this effect instance has no entry function");
    }
    PF_Err err = PF_Err_NONE;
    {
        r.openCommand(command);
        struct Closer {
            CommandState& r;
            ~Closer() { r.closeCommand(); }
        } closer{r};
        Activation active(&r);
        if (prepare) {
            prepare();
        }
        err = entry(command, &r.in, &r.out, r.pointers.data(), nullptr, extra);
        if (finish) {
            finish(err);
        }
    }
    std::string problems = r.strictCheck(command, err);
    if (found != nullptr) {
        *found = std::move(problems);
    } else if (!problems.empty()) {
        throw StrictModeError(problems);
    }
    return err;
}

// The render's worlds (strict mode's guarded copies of them), forgotten when it ends. The copies
// are the request's own, made and taken back while no callback of it runs.
struct RenderWorlds {
    RenderWorlds(CommandState& request, World* input, World* output) : r(request) {
        const auto [in, out] = r.strict.beginRender(input, output);
        std::lock_guard lock(r.instance.mutex);
        r.input = in;
        r.output = out;
        r.layerCheckouts.clear();
    }
    ~RenderWorlds() {
        r.forgetRenderWorlds();
        r.strict.endRender();
    }
    CommandState& r;
};

// One command in a request of its own, at the instance's current frame; `sent` sees the request
// after it.
PF_Err sendAlone(State& s, PF_Cmd command, void* extra,
                 const std::function<void(const CommandState&)>& sent = {}) {
    Frame frame;
    {
        std::lock_guard lock(s.mutex);
        frame = s.frame;
    }
    CommandState request(s, frame);
    const PF_Err err = runCommand(request, command, extra);
    if (sent) {
        sent(request);
    }
    return err;
}

// A spare scaled-down layer of this size and depth, or a new one.
World takeSpareInput(State& s, A_long width, A_long height, PixelDepth depth) {
    std::lock_guard lock(s.mutex);
    auto& spares = s.spareInputs;
    const auto found = std::find_if(spares.begin(), spares.end(), [&](const World& world) {
        return fits(world, width, height, depth);
    });
    if (found == spares.end()) {
        return World(width, height, depth);
    }
    World world = std::move(*found);
    spares.erase(found);
    return world;
}

// Keeps a scaled-down layer for the next frame: as many as renders of its size and depth have run
// at once, and none of another size or depth, which later frames are not likely to have.
void keepSpareInput(State& s, World&& world) {
    std::lock_guard lock(s.mutex);
    auto& spares = s.spareInputs;
    std::erase_if(spares, [&](const World& spare) {
        return !fits(spare, world.width(), world.height(), world.depth());
    });
    constexpr std::size_t mostKept = 64;
    if (spares.size() < mostKept) {
        spares.push_back(std::move(world));
    }
}

const EffectRecords noRecords;

} // namespace

A_long Frame::scaledWidth() const {
    return scaled(layerWidth, downsampleX);
}
A_long Frame::scaledHeight() const {
    return scaled(layerHeight, downsampleY);
}

// ---- Construction.

EffectInstance::EffectInstance(std::shared_ptr<const Module> module, std::string_view effect) {
    if (!module) {
        throw HostError("no module to take effect '" + std::string(effect) + "' from");
    }
    const auto& found = module->effect(effect);
    m_state = std::make_unique<State>(module, found.entry, found.records());
}

EffectInstance::EffectInstance(EntryFunction entry)
    : m_state(std::make_unique<State>(nullptr, entry, std::nullopt)) {}

EffectInstance::EffectInstance(EntryFunction entry, EffectRecords records)
    : m_state(std::make_unique<State>(nullptr, entry, std::move(records))) {}

EffectInstance::~EffectInstance() {
    if (m_state->entry != nullptr && m_state->globalSetUp && m_state->openRequests == 0) {
        try {
            globalSetdown();
        } catch (...) {
            // The instance goes regardless; its handles and worlds are freed with it.
        }
    }
}

// ---- Commands.

PF_Err EffectInstance::send(PF_Cmd command, void* extra) {
    return sendAlone(*m_state, command, extra);
}

std::string EffectInstance::about() {
    std::string message;
    const PF_Err err = sendAlone(*m_state, PF_Cmd_ABOUT, nullptr, [&](const CommandState& r) {
        message.assign(r.out.return_msg, strnlen(r.out.return_msg, sizeof r.out.return_msg));
    });
    if (err != PF_Err_NONE) {
        throw HostError("the about command failed with error " + std::to_string(err));
    }
    return message;
}

PF_Err EffectInstance::globalSetup() {
    PF_OutData reported{};
    const PF_Err err = sendAlone(*m_state, PF_Cmd_GLOBAL_SETUP, nullptr,
                                 [&](const CommandState& r) { reported = r.out; });
    if (err != PF_Err_NONE) {
        return err;
    }
    State& s = *m_state;
    std::lock_guard lock(s.mutex);
    s.globalSetUp = true;
    if (!s.records) {
        return err;
    }
    const auto& r = *s.records;
    const auto compare = [&](const char* what, std::uint32_t written, std::uint32_t recorded) {
        if (written != recorded) {
            s.warnings.push_back(r.name + ": global set-up reports " + what + " " + hex(written) +
                                 " but the registration records give " + hex(recorded));
        }
    };
    compare("version", reported.my_version, r.effectVersion);
    compare("out-flags", static_cast<std::uint32_t>(reported.out_flags), r.outFlags);
    compare("out-flags2", static_cast<std::uint32_t>(reported.out_flags2), r.outFlags2);
    return err;
}

PF_Err EffectInstance::globalSetdown() {
    const PF_Err err = send(PF_Cmd_GLOBAL_SETDOWN);
    std::lock_guard lock(m_state->mutex);
    m_state->globalSetUp = false;
    return err;
}

PF_Err EffectInstance::paramsSetup() {
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->openRequests != 0) {
            throw HostError("a command or Context is already open on this effect instance");
        }
        m_state->params.reset();
    }
    return send(PF_Cmd_PARAMS_SETUP);
}

PF_Err EffectInstance::updateParamsUI() {
    return send(PF_Cmd_UPDATE_PARAMS_UI);
}

PF_Err EffectInstance::smartRender(const Frame& frame, World& input, World& output) {
    checkFrame(frame);
    checkDepth(input, frame, "input");
    checkDepth(output, frame, "output");
    State& s = *m_state;
    CommandState r(s, frame);
    RenderWorlds worlds(r, &input, &output);
    const PF_LRect request = rectOf(output);
    // Strict mode's findings in pre-render wait for render, which frees the pre-render data.
    std::string found;
    PF_Err err = runCommand(
        r, PF_Cmd_SMART_PRE_RENDER, &r.preExtra, [&] { preparePreRender(r, request, frame.depth); },
        [&](PF_Err result) {
            const auto& out = r.preOutput;
            r.preRenderResult =
                PreRenderResult{out.result_rect, out.max_result_rect, out.solid != 0};
            {
                std::lock_guard lock(s.mutex);
                s.preRenderResult = r.preRenderResult;
            }
            if (result != PF_Err_NONE) {
                deletePreRenderData(r);
            }
        },
        &found);
    if (err == PF_Err_NONE) {
        std::string inRender;
        err = runCommand(
            r, PF_Cmd_SMART_RENDER, &r.smartExtra,
            [&] { prepareSmartRender(r, request, frame.depth); },
            [&](PF_Err) { deletePreRenderData(r); }, &inRender);
        found += (found.empty() || inRender.empty() ? "" : "; ") + inRender;
    }
    if (!found.empty()) {
        throw StrictModeError(found);
    }
    return err;
}

PF_Err EffectInstance::renderFrame(const Frame& frame, const World& layer, World& output) {
    Frame at = frame;
    at.layerWidth = layer.width();
    at.layerHeight = layer.height();
    checkFrame(at);
    checkDepth(layer, at, "layer");
    const A_long width = at.scaledWidth();
    const A_long height = at.scaledHeight();
    if (!fits(output, width, height, at.depth)) {
        output = World(width, height, at.depth);
    }
    if (unscaled(at.downsampleX) && unscaled(at.downsampleY) &&
        fits(layer, width, height, at.depth)) {
        // The layer is the input itself. The module only reads its input, as from the real
        // host's.
        return smartRender(at, const_cast<World&>(layer), output);
    }
    // Renders may run at once, each on a scaled-down layer of its own.
    World input = takeSpareInput(*m_state, width, height, at.depth);
    scaleDown(layer, at.downsampleX, at.downsampleY, input);
    const PF_Err err = smartRender(at, input, output);
    keepSpareInput(*m_state, std::move(input));
    return err;
}

// ---- State after commands.

const PF_OutData& EffectInstance::outData() const {
    return m_state->lastOut;
}
PF_Handle EffectInstance::globalData() const {
    return m_state->globalData;
}
const PreRenderResult& EffectInstance::preRenderResult() const {
    return m_state->preRenderResult;
}
const std::vector<std::string>& EffectInstance::warnings() const {
    return m_state->warnings;
}
const EffectRecords& EffectInstance::records() const {
    return m_state->records ? *m_state->records : noRecords;
}

// ---- Settings.

void EffectInstance::setFrame(const Frame& frame) {
    checkFrame(frame);
    std::lock_guard lock(m_state->mutex);
    m_state->frame = frame;
}

const Frame& EffectInstance::frame() const {
    return m_state->frame;
}

void EffectInstance::setThreadCount(int threads) {
    if (threads < 0) {
        throw HostError("a thread count of at least 0, not " + std::to_string(threads));
    }
    // One thread is the caller's own and starts nothing, so only more are weighed against the
    // system's limits (which are read from files, too slow for every instance of a batch).
    const int startable = threads > 1 ? startableThreads() : threads;
    std::lock_guard lock(m_state->mutex);
    m_state->threads = std::min(threads, startable);
}

void EffectInstance::setStrict(bool strict) {
    std::lock_guard lock(m_state->mutex);
    m_state->strict = strict;
}

bool EffectInstance::strict() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->strict;
}

void EffectInstance::setInterrupt(std::function<bool()> interrupted) {
    std::lock_guard lock(m_state->mutex);
    m_state->interrupted = std::move(interrupted);
}

int EffectInstance::threadCount() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->configuredThreads();
}

// ---- Parameters.

int EffectInstance::paramCount() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->params.count();
}

const PF_ParamDef& EffectInstance::paramDef(int index) const {
    std::lock_guard lock(m_state->mutex);
    return m_state->params.definition(index);
}

int EffectInstance::findParam(std::string_view name) const {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    const auto sameIgnoringCase = [&](std::string_view a, std::string_view b) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(),
                          [&](char x, char y) { return lower(x) == lower(y); });
    };
    std::lock_guard lock(m_state->mutex);
    int caseFolded = -1;
    for (int i = 0; i < m_state->params.count(); ++i) {
        const auto& def = m_state->params.definition(i);
        const std::string_view defined(def.name, strnlen(def.name, sizeof def.name));
        if (name == defined) {
            return i;
        }
        if (caseFolded < 0 && sameIgnoringCase(name, defined)) {
            caseFolded = i;
        }
    }
    return caseFolded;
}

void EffectInstance::setValue(int index, double value, double atSeconds,
                              std::optional<Interpolation> interpolation) {
    std::lock_guard lock(m_state->mutex);
    m_state->params.setValue(index, value, atSeconds, interpolation);
}

void EffectInstance::setPoint(int index, double x, double y, double atSeconds,
                              std::optional<Interpolation> interpolation) {
    std::lock_guard lock(m_state->mutex);
    m_state->params.setPoint(index, x, y, atSeconds, interpolation);
}

void EffectInstance::setColor(int index, const PF_Pixel& color, double atSeconds,
                              std::optional<Interpolation> interpolation) {
    std::lock_guard lock(m_state->mutex);
    m_state->params.setColor(index, color, atSeconds, interpolation);
}

void EffectInstance::resetValues() {
    std::lock_guard lock(m_state->mutex);
    m_state->params.clearKeyframes();
}

PF_ParamDef EffectInstance::valueAt(int index, const Frame& frame) const {
    checkFrame(frame);
    std::lock_guard lock(m_state->mutex);
    const auto& f = frame;
    const CheckoutScale scale{static_cast<double>(f.downsampleX.num) / f.downsampleX.den,
                              static_cast<double>(f.downsampleY.num) / f.downsampleY.den,
                              f.layerWidth, f.layerHeight};
    return m_state->params.valueAt(index, static_cast<double>(f.time) / f.timeScale, scale);
}

// ---- Context.

EffectInstance::Context EffectInstance::context() {
    return context(frame());
}

EffectInstance::Context EffectInstance::context(const Frame& frame) {
    checkFrame(frame);
    return Context(*this, frame);
}

EffectInstance::Context::Context(EffectInstance& instance, const Frame& frame)
    : m_request(std::make_unique<CommandState>(*instance.m_state, frame)), m_previous(nullptr) {
    m_request->openCommand(PF_Cmd_NUM_CMDS);
    m_previous = swapCurrentState(m_request.get());
}

EffectInstance::Context::~Context() {
    deletePreRenderData(*m_request);
    m_request->forgetRenderWorlds();
    m_request->closeCommand();
    swapCurrentState(m_previous);
}

PF_InData* EffectInstance::Context::in() {
    return &m_request->in;
}
PF_OutData* EffectInstance::Context::out() {
    return &m_request->out;
}
PF_ParamDef** EffectInstance::Context::params() {
    return m_request->pointers.data();
}

PF_PreRenderExtra* EffectInstance::Context::preRenderExtra() {
    CommandState& r = *m_request;
    std::lock_guard lock(r.instance.mutex);
    preparePreRender(r, r.layerRect(), r.frame.depth);
    return &r.preExtra;
}

PF_SmartRenderExtra* EffectInstance::Context::smartRenderExtra(World& input, World& output) {
    CommandState& r = *m_request;
    std::lock_guard lock(r.instance.mutex);
    r.input = &input;
    r.output = &output;
    r.layerCheckouts.try_emplace(0, false);
    prepareSmartRender(r, rectOf(output), input.depth());
    return &r.smartExtra;
}

// ---- Diagnostics.

Diagnostics& EffectInstance::diagnostics() {
    return m_state->diagnostics;
}

const Diagnostics& EffectInstance::diagnostics() const {
    return m_state->diagnostics;
}

} // namespace OfflineHost
