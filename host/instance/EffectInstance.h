#pragma once

// One effect of a module as the host runs it: the commands in the order the host sends them, the
// parameters they carry, and the records and callbacks the module sees. What tests observe and
// inject lives apart, in its Diagnostics.

#include "host/instance/Diagnostics.h"
#include "host/instance/ParamStore.h"
#include "host/module/Module.h"
#include "host/pixels/World.h"
#include "host/system/HostError.h"

#include "AE_Effect.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace OfflineHost {

// The time and layer a command is sent for.
struct Frame {
    A_long time = 0;         // in_data current_time, in timeScale units
    A_long timeStep = 1;     // in_data time_step
    A_u_long timeScale = 30; // in_data time_scale
    A_long layerWidth = 640; // the layer at full resolution: in_data width and height
    A_long layerHeight = 480;
    PF_RationalScale downsampleX{1, 1};
    PF_RationalScale downsampleY{1, 1};
    PixelDepth depth = PixelDepth::Bits8;

    // The layer's size at the downsample, rounded up: ceil(size * num / den).
    A_long scaledWidth() const;
    A_long scaledHeight() const;
};

// What the module reported at smart pre-render.
struct PreRenderResult {
    PF_LRect resultRect{};
    PF_LRect maxResultRect{};
    bool solid = false;
};

struct InstanceState; // the host's internals
struct CommandState;

class EffectInstance {
public:
    // An effect of a loaded module, by name or match name; keeps the module loaded. The
    // registration records serve the checks after global set-up. Throws HostError.
    EffectInstance(std::shared_ptr<const Module> module, std::string_view effect);
    // An entry function called directly (for example from the module's static library), with or
    // without records. A null entry gives an instance that serves only context().
    explicit EffectInstance(EntryFunction entry);
    EffectInstance(EntryFunction entry, EffectRecords records);
    // Sends global set-down when global set-up succeeded and set-down was not sent, then frees
    // whatever the module left behind.
    ~EffectInstance();

    EffectInstance(const EffectInstance&) = delete;
    EffectInstance& operator=(const EffectInstance&) = delete;

    // ---- Commands. Each is sent with the current frame (setFrame; smartRender and renderFrame
    // make their frame the current one) and returns the module's result; afterwards outData() and
    // diagnostics().lastAccount() describe it. Sending from a thread whose Context is open throws
    // HostError. Commands may be sent from several threads at once, as a current host sends them
    // (a UI thread's parameter-UI updates beside renders of several frames): each is a request
    // of its own, with the parameter values when it was made, its own worlds and checkouts, and
    // strict mode's checks of what it took; outData() and lastAccount() then tell of whichever
    // ended last.

    // Any command, with the caller's extra data; the parameter array holds the values at the
    // frame's time; the output world argument is null.
    PF_Err send(PF_Cmd command, void* extra = nullptr);
    // PF_Cmd_ABOUT; returns return_msg. Throws HostError when the module returns an error.
    std::string about();
    // PF_Cmd_GLOBAL_SETUP; keeps global_data and compares the version and out-flags the module
    // wrote with its records (see warnings()).
    PF_Err globalSetup();
    PF_Err globalSetdown();
    // PF_Cmd_PARAMS_SETUP; starts the parameter list afresh with the input layer at index 0.
    PF_Err paramsSetup();
    // PF_Cmd_UPDATE_PARAMS_UI, as the host sends it after a parameter's value changed.
    PF_Err updateParamsUI();
    // Smart pre-render, then (when that succeeded) smart render of one frame over the caller's
    // worlds, which have the frame's depth and its downsampled size (or any size the test
    // wants; the input world's origin places it in the layer). The input is available under
    // every checkout id pre-render checked out; the output is what checkout_output yields. The
    // module's delete function for its pre-render data is called after render. Returns the
    // first error. Throws HostError when a world's depth is not the frame's.
    PF_Err smartRender(const Frame& frame, World& input, World& output);
    // The same over a full-resolution layer: the host scales the layer down by the frame's
    // factors (nearest pixel; at 1:1 the layer itself is the input) and renders into the output
    // world, which is replaced by a new one unless it already has the downsampled size, the
    // frame's depth and its origin at (0, 0). The frame's layer size is taken from the layer.
    // The scaled-down copy is kept for the next frame.
    PF_Err renderFrame(const Frame& frame, const World& layer, World& output);

    // ---- State after commands.
    const PF_OutData& outData() const;
    PF_Handle globalData() const;
    const PreRenderResult& preRenderResult() const;
    // Warnings the real host would show, such as the version or out-flags a module writes at
    // global set-up differing from its records. Nothing is printed.
    const std::vector<std::string>& warnings() const;
    const EffectRecords& records() const;

    // ---- Settings.
    void setFrame(const Frame& frame);
    const Frame& frame() const;
    // Workers behind the iterate suites; 0 means one per processor this process may use
    // (usableProcessors(), SystemLimits.h), and a count beyond startableThreads() is capped there
    // (threadCount() tells). Takes effect at the next iterate call.
    void setThreadCount(int threads);
    int threadCount() const;
    // Strict mode, for finding a module's faults; off until set. Each world the host hands the
    // module in a command has guard bands around it (World::guarded), and a render gets copies
    // of the caller's worlds, its output poisoned first. After each command the host throws
    // StrictModeError (HostError.h), naming the effect and the command, for a write outside a
    // world or into the input, an output pixel within the rectangle pre-render promised that a
    // successful render left unwritten, and a checkout, suite, world or handle left unbalanced
    // (handles may outlive global set-up as the global data, and pre-render in its data). The
    // caller's output takes what the module wrote.
    void setStrict(bool strict);
    bool strict() const;
    // The user's interrupt, as the host application offers it while it renders: once
    // `interrupted` returns true, an iterate call starts no further iteration and, when those
    // already running are done, answers the host's interrupt code (PF_Interrupt_CANCEL), which the
    // module returns; the abort callback answers it too. It is asked before each iteration, from
    // any of the pool's threads. An empty function (the default) never interrupts.
    void setInterrupt(std::function<bool()> interrupted);

    // ---- Parameters (index 0 is the input layer). Values are keyframes at a time; between two
    // keyframes a value moves as the earlier one's interpolation says (see Interpolation):
    // linearly by default, while popups and checkboxes hold. Before the first and after the last
    // keyframe the value holds. Without a keyframe a parameter has the value of its definition;
    // a point's default is a percentage of the layer. Bad indices or types, and numbers that are
    // not finite for anything but a float slider, throw HostError.
    int paramCount() const;
    // The definition as the module added it (strings in host storage), with the current
    // ui_flags as PF_UpdateParamUI left them; valid until the next parameter set-up.
    const PF_ParamDef& paramDef(int index) const;
    // The first parameter with this name as written, else the first whose name differs from it
    // only in the case of ASCII letters; -1 when none has it.
    int findParam(std::string_view name) const;
    // Slider, fixed slider (value, not 16.16), float slider, angle (degrees), checkbox (0 or 1)
    // or popup (1-based).
    void setValue(int index, double value, double atSeconds = 0.0,
                  std::optional<Interpolation> interpolation = std::nullopt);
    // A point in full-resolution layer pixels.
    void setPoint(int index, double x, double y, double atSeconds = 0.0,
                  std::optional<Interpolation> interpolation = std::nullopt);
    void setColor(int index, const PF_Pixel& color, double atSeconds = 0.0,
                  std::optional<Interpolation> interpolation = std::nullopt);
    // Every parameter back to the value of its definition, as a fresh instance has it.
    void resetValues();
    // The parameter as checkout_param delivers it for this frame: points in layer pixels scaled
    // by the downsample factors, 16.16; angles and fixed sliders 16.16; colours 8-bit, each
    // channel rounded to the nearest; popups 1-based.
    PF_ParamDef valueAt(int index, const Frame& frame) const;

    // ---- Calling module code directly.

    // A command held open so that tests can call the module's classes without its entry
    // function: live records wired to this instance's services, valid while the Context lives.
    // While it lives, on the thread that opened it, the host's context-free services (the basic
    // suite, handles, iterate) serve this instance. Its end takes the account like a command's.
    class Context {
    public:
        ~Context();
        Context(const Context&) = delete;
        Context& operator=(const Context&) = delete;

        PF_InData* in();
        PF_OutData* out();
        // Parameter values at the frame's time, indexed by parameter index.
        PF_ParamDef** params();
        // Pre-render records for a request covering the whole downsampled layer.
        PF_PreRenderExtra* preRenderExtra();
        // Smart-render records over the caller's worlds: the input under checkout id 0 (and any
        // id checked out through preRenderExtra()), the output from checkout_output, and
        // pre_render_data as preRenderExtra()'s output holds it.
        PF_SmartRenderExtra* smartRenderExtra(World& input, World& output);

    private:
        friend class EffectInstance;
        Context(EffectInstance& instance, const Frame& frame);
        std::unique_ptr<CommandState> m_request;
        CommandState* m_previous; // the thread's current request before this Context
    };
    Context context();
    Context context(const Frame& frame);

    // ---- What tests observe and provoke: the call log, what the module holds, injected faults.
    Diagnostics& diagnostics();
    const Diagnostics& diagnostics() const;

private:
    std::unique_ptr<InstanceState> m_state;
};

} // namespace OfflineHost
