#pragma once

// The state behind an EffectInstance, shared by the public interface and the C callbacks the
// module calls: the instance's own, and each open request's. Internal to the host library.

#include "host/instance/EffectInstance.h"
#include "host/instance/HandleTable.h"
#include "host/instance/ParamStore.h"
#include "host/instance/StrictMode.h"
#include "host/system/WorkerPool.h"

#include "AE_EffectCB.h"
#include "AE_EffectPixelFormat.h"
#include "SPBasic.h"

#include <cstdint>
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

struct CommandState;

// Suites by name and version: acquisitions minus releases.
using SuiteBalance = std::map<std::pair<std::string, int>, int>;

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

    // Everything below is guarded by `mutex`: commands arrive from several threads at once (a UI
    // thread beside renders), and the module calls in from worker threads.
    mutable std::mutex mutex;

    Frame frame; // the current frame (EffectInstance::setFrame), taken by the next command
    int threads = 0;
    std::function<bool()> interrupted; // EffectInstance::setInterrupt
    // The worker pools of requests that ended, for the next: requests running at once iterate
    // on pools of their own.
    std::vector<std::shared_ptr<WorkerPool>> sparePools;
    bool strict = false; // EffectInstance::setStrict, taken by each request

    ParamStore params;
    HandleTable handles;
    struct CreatedWorld {
        std::unique_ptr<World> world;
        std::uint64_t request = 0; // the request it was created in (CommandState::serial)
    };
    std::map<const void*, CreatedWorld> createdWorlds; // by pixel address
    SuiteBalance suiteBalance;

    PF_Handle globalData = nullptr;
    bool globalSetUp = false;
    A_long pluginId = 0;

    std::vector<std::string> warnings; // what the real host would show (EffectInstance::warnings)
    Diagnostics diagnostics{mutex, [this] { return heldBy(std::nullopt, suiteBalance, {}); }};

    // Requests open now, and the last one's number.
    int openRequests = 0;
    std::uint64_t lastSerial = 0;
    // What the last command to end left: its out_data, and the last pre-render's answer.
    PF_OutData lastOut{};
    PreRenderResult preRenderResult;
    // Scaled-down layers of renderFrame, kept for the next frames of the same size.
    std::vector<World> spareInputs;

    // ---- Helpers; the caller holds `mutex` unless said otherwise.

    int configuredThreads() const;
    // What the module holds now: every handle and world, or only those `request` took; the
    // suites `balance` counts as acquired more often than released; the parameters `leftOut`
    // names as not checked in.
    Account heldBy(std::optional<std::uint64_t> request, const SuiteBalance& balance,
                   std::vector<int> leftOut) const;
};

// One request of the host as the module sees it: a command, or a frame's smart pre-render and
// smart render, which share the frame's parameter values, worlds, checkouts and pre-render data;
// a test's Context is one too. Its address is the effect reference the module is handed, so that
// each callback serves its own request among several running at once. Built and destroyed under
// no lock; its fields are guarded by the instance's mutex.
struct CommandState {
    // Takes the parameter values at the frame's time and the instance's strict mode. Throws
    // HostError when the calling thread has a request of this instance open (a command or a
    // Context).
    CommandState(InstanceState& owner, const Frame& at);
    ~CommandState();
    CommandState(const CommandState&) = delete;
    CommandState& operator=(const CommandState&) = delete;

    InstanceState& instance;
    std::uint64_t serial = 0; // tags the handles and worlds the module takes during it
    Frame frame;
    StrictMode strict; // this request's guarded worlds and findings

    // ---- The open command: the records the module sees during it.
    bool open = false;
    PF_Cmd command = 0;
    PF_InData in{};
    PF_OutData out{};
    std::vector<PF_ParamDef> requestValues; // every parameter at the frame's time
    std::vector<PF_ParamDef> values;        // the command's copy, which the module may change
    std::vector<PF_ParamDef*> pointers;
    std::vector<std::pair<const PF_ParamDef*, int>> paramCheckouts; // address, index
    std::vector<int> paramsLeftOut; // what the last command left checked out, by index
    SuiteBalance suiteBalance;      // this request's

    PF_PreRenderInput preInput{};
    PF_PreRenderOutput preOutput{};
    PF_PreRenderCallbacks preCallbacks{};
    PF_PreRenderExtra preExtra{};
    PF_SmartRenderInput smartInput{};
    PF_SmartRenderCallbacks smartCallbacks{};
    PF_SmartRenderExtra smartExtra{};

    // ---- The frame being rendered; lives from pre-render to the end of render.
    World* input = nullptr;
    World* output = nullptr;
    std::map<A_long, bool> layerCheckouts; // checkout id -> checked in
    PreRenderResult preRenderResult;

    // The request's worker pool, from its first iterate call on; shared with the calls running
    // on it.
    std::shared_ptr<WorkerPool> pool;

    // ---- Helpers; the caller holds the instance's mutex unless said otherwise.

    // Appends to the instance's call log.
    void record(std::string_view call, std::string detail, int result) {
        instance.diagnostics._record(call, std::move(detail), result);
    }
    // Records a misuse (and the call) and returns its code.
    int misuse(std::string_view call, std::string problem, int result) {
        return instance.diagnostics._misuse(call, std::move(problem), result);
    }
    // The code an injected fault gives this call now, if any; a triggered fault is logged with
    // the call's detail.
    std::optional<PF_Err> fault(std::string_view call, const std::string& detail) {
        return instance.diagnostics._fault(call, detail);
    }
    // Whether AcquireSuite is to refuse this suite.
    bool hidesSuite(std::string_view name, int version) const {
        return instance.diagnostics._hides(name, version);
    }
    // The pool, with the configured thread count: the request's own, a spare or a new one.
    std::shared_ptr<WorkerPool> workerPool();
    // The layer's rectangle in the coordinates the module sees.
    PF_LRect layerRect() const;
    CheckoutScale checkoutScale() const;
    // Whether one of the module's commands is open, not a test's Context.
    bool inModuleCommand() const { return open && command != PF_Cmd_NUM_CMDS; }

    // Fills the records for a command (holds no lock) and ends it, taking the account.
    void openCommand(PF_Cmd cmd);
    void closeCommand();
    // What strict mode finds after the command (holds no lock).
    std::string strictCheck(PF_Cmd cmd, PF_Err result);
    // Forgets the render's worlds and layer checkouts when a render or Context ends (holds no
    // lock).
    void forgetRenderWorlds();
};

// The request an effect reference names, if it is a live one.
CommandState* stateOf(PF_ProgPtr effectRef);
// The request the calling thread serves: the one whose command or Context is open on it, or
// whose iteration a worker runs.
CommandState* currentState();

// Makes `state` the calling thread's current request and returns the one it replaces.
CommandState* swapCurrentState(CommandState* state);

// Makes `state` the calling thread's current request for its lifetime.
class Activation {
public:
    explicit Activation(CommandState* state);
    ~Activation();
    Activation(const Activation&) = delete;
    Activation& operator=(const Activation&) = delete;

private:
    CommandState* m_previous;
};

// The function tables, filled with the host's callbacks (callbacks/UtilCallbacks.cpp,
// ParamCallbacks.cpp, RenderCallbacks.cpp and Suites.cpp).
_PF_UtilCallbacks makeUtilCallbacks();
PF_InteractCallbacks makeInteractCallbacks();
SPBasicSuite makeBasicSuite();
PF_PreRenderCallbacks makePreRenderCallbacks();
PF_SmartRenderCallbacks makeSmartRenderCallbacks();

} // namespace OfflineHost
