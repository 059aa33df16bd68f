#pragma once

// The state behind an EffectInstance, shared by the public interface and the C callbacks the
// module calls. Internal to the host library.

#include "host/instance/EffectInstance.h"
#include "host/instance/HandleTable.h"
#include "host/instance/ParamStore.h"
#include "host/instance/StrictMode.h"
#include "host/system/WorkerPool.h"

#include "AE_EffectCB.h"
#include "AE_EffectPixelFormat.h"
#include "SPBasic.h"

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace OfflineHost {

struct InstanceState {
    InstanceState(std::shared_ptr<const Module> module, EntryFunction entry,
                  std::optional<EffectRecords> records);
    ~InstanceState();

    // ---- Identity (fixed after construction).
    std::shared_ptr<const Module> module; // keeps the library loaded
    EntryFunction entry = nullptr;
    std::optional<EffectRecords> records;
    // Per-instance copies of the function tables in_data points to, since the module may write
    // through those pointers.
    _PF_UtilCallbacks utils{};
    SPBasicSuite basic{};

    // Everything below is guarded by `mutex`: the module may call in from worker threads.
    mutable std::mutex mutex;

    Frame frame;
    int threads = 0;
    std::function<bool()> interrupted; // EffectInstance::setInterrupt
    std::shared_ptr<WorkerPool> pool;  // shared with the iterate calls running on it

    ParamStore params;
    HandleTable handles;
    std::map<const void*, std::unique_ptr<World>> createdWorlds; // by pixel address
    std::map<std::pair<std::string, int>, int> suiteBalance;     // acquisitions minus releases

    PF_Handle globalData = nullptr;
    bool globalSetUp = false;
    A_long pluginId = 0;

    std::vector<std::string> warnings; // what the real host would show (EffectInstance::warnings)
    Diagnostics diagnostics{mutex, [this] { return takeAccount(); }};
    StrictMode strict;

    // ---- The open command: the records the module sees during it.
    struct Command {
        bool open = false;
        PF_Cmd command = 0;
        PF_InData in{};
        PF_OutData out{};
        std::vector<PF_ParamDef> values;
        std::vector<PF_ParamDef*> pointers;
        std::vector<std::pair<const PF_ParamDef*, int>> paramCheckouts; // address, index

        PF_PreRenderInput preInput{};
        PF_PreRenderOutput preOutput{};
        PF_PreRenderCallbacks preCallbacks{};
        PF_PreRenderExtra preExtra{};
        PF_SmartRenderInput smartInput{};
        PF_SmartRenderCallbacks smartCallbacks{};
        PF_SmartRenderExtra smartExtra{};
    } command;

    // The scaled-down layer of renderFrame, kept for the next frame of the same size.
    World scaledInput{0, 0, PixelDepth::Bits8};

    // ---- The frame being rendered; lives from pre-render to the end of render.
    World* input = nullptr;
    World* output = nullptr;
    std::map<A_long, bool> layerCheckouts; // checkout id -> checked in
    PF_OutData lastOut{};
    PreRenderResult preRenderResult;

    // ---- Helpers; the caller holds `mutex` unless said otherwise.

    // Appends to the call log.
    void record(std::string_view call, std::string detail, int result) {
        diagnostics._record(call, std::move(detail), result);
    }
    // Records a misuse (and the call) and returns its code.
    int misuse(std::string_view call, std::string problem, int result) {
        return diagnostics._misuse(call, std::move(problem), result);
    }
    // The code an injected fault gives this call now, if any; a triggered fault is logged with
    // the call's detail.
    std::optional<PF_Err> fault(std::string_view call, const std::string& detail) {
        return diagnostics._fault(call, detail);
    }
    // Whether AcquireSuite is to refuse this suite.
    bool hidesSuite(std::string_view name, int version) const {
        return diagnostics._hides(name, version);
    }
    // The pool, created on first use with the configured thread count (anew when that changed).
    std::shared_ptr<WorkerPool> workerPool();
    int configuredThreads() const;
    Account takeAccount() const;
    // The layer's rectangle in the coordinates the module sees.
    PF_LRect layerRect() const;
    CheckoutScale checkoutScale() const;

    // Fills the records for a command at `frame` (holds no lock; throws HostError when one is
    // already open) and ends it, taking the account.
    void openCommand(PF_Cmd cmd, const Frame& at);
    void closeCommand();
    // What strict mode finds after the command (holds no lock).
    std::string strictCheck(PF_Cmd cmd, PF_Err result);
    // Whether one of the module's commands is open, not a test's Context.
    bool inModuleCommand() const { return command.open && command.command != PF_Cmd_NUM_CMDS; }
    // Forgets the render's worlds and layer checkouts when a render or Context ends (holds no
    // lock).
    void forgetRenderWorlds();
};

// The instance an effect reference names, if it is a live one.
InstanceState* stateOf(PF_ProgPtr effectRef);
// The instance the calling thread serves: the one whose command or Context is open on it, or
// whose iteration a worker runs.
InstanceState* currentState();

// Makes `state` the calling thread's current instance and returns the one it replaces.
InstanceState* swapCurrentState(InstanceState* state);

// Makes `state` the calling thread's current instance for its lifetime.
class Activation {
public:
    explicit Activation(InstanceState* state);
    ~Activation();
    Activation(const Activation&) = delete;
    Activation& operator=(const Activation&) = delete;

private:
    InstanceState* m_previous;
};

// The function tables, filled with the host's callbacks (callbacks/UtilCallbacks.cpp,
// ParamCallbacks.cpp, RenderCallbacks.cpp and Suites.cpp).
_PF_UtilCallbacks makeUtilCallbacks();
PF_InteractCallbacks makeInteractCallbacks();
SPBasicSuite makeBasicSuite();
PF_PreRenderCallbacks makePreRenderCallbacks();
PF_SmartRenderCallbacks makeSmartRenderCallbacks();

} // namespace OfflineHost
