#include "host/instance/InstanceState.h"

#include "host/system/SystemLimits.h"

#include <algorithm>
#include <cmath>

namespace OfflineHost {
namespace {

// The live requests, so that an effect reference is checked before it is trusted.
std::mutex liveMutex;
std::set<const CommandState*> liveRequests;

thread_local CommandState* threadState = nullptr;

// The interface version the host reports in in_data.
constexpr PF_SpecVersion hostVersion{13, 28};

double ratio(const PF_RationalScale& scale) {
    return scale.den == 0 ? 1.0 : static_cast<double>(scale.num) / scale.den;
}

CheckoutScale scaleOf(const Frame& frame) {
    return CheckoutScale{ratio(frame.downsampleX), ratio(frame.downsampleY), frame.layerWidth,
                         frame.layerHeight};
}

} // namespace

InstanceState::InstanceState(std::shared_ptr<const Module> owner, EntryFunction function,
                             std::optional<EffectRecords> effectRecords)
    : module(std::move(owner)), entry(function), records(std::move(effectRecords)),
      utils(makeUtilCallbacks()), basic(makeBasicSuite()) {}

InstanceState::~InstanceState() = default;

int InstanceState::configuredThreads() const {
    // Read once: every iterate call asks, and a process's processors are settled when it starts.
    static const int processors = usableProcessors();
    return threads > 0 ? threads : processors;
}

Account InstanceState::heldBy(std::optional<std::uint64_t> request, const SuiteBalance& balance,
                              std::vector<int> leftOut) const {
    const auto took = [&](std::uint64_t by) { return !request || by == *request; };
    Account account;
    for (const auto& live : handles.live()) {
        if (took(live.request)) {
            account.liveHandles.push_back(
                LiveHandle{live.handle, live.size, live.handle == globalData});
        }
    }
    for (const auto& [data, created] : createdWorlds) {
        if (took(created.request)) {
            const World& world = *created.world;
            account.liveWorlds.push_back(LiveWorld{world.width(), world.height(), world.depth()});
        }
    }
    for (const auto& [suite, count] : balance) {
        if (count > 0) {
            account.unreleasedSuites.push_back(UnreleasedSuite{suite.first, suite.second, count});
        }
    }
    account.paramsNotCheckedIn = std::move(leftOut);
    return account;
}

// ---- Requests.

CommandState::CommandState(InstanceState& owner, const Frame& at) : instance(owner), frame(at) {
    if (threadState != nullptr && &threadState->instance == &owner) {
        throw HostError("a command or Context is already open on this effect instance");
    }
    {
        std::lock_guard lock(owner.mutex);
        serial = ++owner.lastSerial;
        ++owner.openRequests;
        owner.frame = at;
        strict.enabled = owner.strict;
        // The values a request is rendered with are those when it was made, whatever changes
        // while it runs.
        const double seconds =
            at.timeScale == 0 ? 0.0 : static_cast<double>(at.time) / at.timeScale;
        requestValues.reserve(static_cast<std::size_t>(owner.params.count()));
        for (int i = 0; i < owner.params.count(); ++i) {
            requestValues.push_back(owner.params.valueAt(i, seconds, scaleOf(at)));
        }
    }
    std::lock_guard lock(liveMutex);
    liveRequests.insert(this);
}

CommandState::~CommandState() {
    {
        std::lock_guard lock(liveMutex);
        liveRequests.erase(this);
    }
    std::lock_guard lock(instance.mutex);
    --instance.openRequests;
    // As many pools are kept as requests have run at once; one of another size is not taken
    // again.
    if (pool && pool->threadCount() == instance.configuredThreads()) {
        instance.sparePools.push_back(std::move(pool));
    }
}

std::shared_ptr<WorkerPool> CommandState::workerPool() {
    const int threads = instance.configuredThreads();
    if (pool && pool->threadCount() == threads) {
        return pool;
    }
    auto& spares = instance.sparePools;
    std::erase_if(spares, [&](const auto& spare) { return spare->threadCount() != threads; });
    if (spares.empty()) {
        pool = std::make_shared<WorkerPool>(threads);
    } else {
        pool = std::move(spares.back());
        spares.pop_back();
    }
    return pool;
}

PF_LRect CommandState::layerRect() const {
    if (input != nullptr) {
        const auto& w = input->effectWorld();
        return {w.origin_x, w.origin_y, w.origin_x + w.width, w.origin_y + w.height};
    }
    return {0, 0, frame.scaledWidth(), frame.scaledHeight()};
}

CheckoutScale CommandState::checkoutScale() const {
    return scaleOf(frame);
}

void CommandState::openCommand(PF_Cmd cmd) {
    std::lock_guard lock(instance.mutex);
    open = true;
    command = cmd;
    paramCheckouts.clear();

    PF_InData& i = in;
    i = PF_InData{};
    i.inter = makeInteractCallbacks();
    i.utils = &instance.utils;
    i.effect_ref = reinterpret_cast<PF_ProgPtr>(this);
    i.quality = PF_Quality_HI;
    i.version = hostVersion;
    i.appl_id = static_cast<A_long>(fourCC("FXTC"));
    i.num_params = static_cast<A_long>(requestValues.size());
    i.current_time = frame.time;
    i.time_step = frame.timeStep;
    i.local_time_step = frame.timeStep;
    i.total_time = frame.time + frame.timeStep;
    i.time_scale = frame.timeScale;
    i.field = PF_Field_FRAME;
    i.width = frame.layerWidth;
    i.height = frame.layerHeight;
    i.extent_hint = layerRect();
    i.downsample_x = frame.downsampleX;
    i.downsample_y = frame.downsampleY;
    i.pixel_aspect_ratio = {1, 1};
    i.global_data = instance.globalData;
    i.pica_basicP = &instance.basic;

    out = PF_OutData{};
    out.global_data = instance.globalData;

    // The parameter array: the request's values, the input layer as its world.
    values = requestValues;
    if (input != nullptr && !values.empty()) {
        values[0].u.ld = input->effectWorld();
    }
    pointers.clear();
    pointers.reserve(values.size());
    for (auto& value : values) {
        pointers.push_back(&value);
    }
}

void CommandState::closeCommand() {
    std::lock_guard lock(instance.mutex);
    paramsLeftOut.clear();
    for (const auto& checkout : paramCheckouts) {
        paramsLeftOut.push_back(checkout.second);
    }
    instance.diagnostics._commandEnded(
        instance.heldBy(std::nullopt, instance.suiteBalance, paramsLeftOut));
    paramCheckouts.clear();
    instance.lastOut = out;
    instance.globalData = command == PF_Cmd_GLOBAL_SETDOWN ? nullptr : out.global_data;
    open = false;
}

std::string CommandState::strictCheck(PF_Cmd cmd, PF_Err result) {
    std::lock_guard lock(instance.mutex);
    // What this request holds: another request's handles, worlds and suites are its own.
    CommandEnd end{instance.records ? instance.records->name : std::string("the module"),
                   cmd,
                   result,
                   preRenderResult.resultRect,
                   {},
                   instance.heldBy(serial, suiteBalance, paramsLeftOut),
                   instance.globalData};
    for (const auto& [data, created] : instance.createdWorlds) {
        if (created.request == serial) {
            end.createdWorlds.push_back(created.world.get());
        }
    }
    return strict.afterCommand(end);
}

void CommandState::forgetRenderWorlds() {
    std::lock_guard lock(instance.mutex);
    input = nullptr;
    output = nullptr;
    layerCheckouts.clear();
}

CommandState* stateOf(PF_ProgPtr effectRef) {
    auto* state = reinterpret_cast<CommandState*>(effectRef);
    std::lock_guard lock(liveMutex);
    return liveRequests.count(state) != 0 ? state : nullptr;
}

CommandState* currentState() {
    return threadState;
}

CommandState* swapCurrentState(CommandState* state) {
    return std::exchange(threadState, state);
}

Activation::Activation(CommandState* state) : m_previous(swapCurrentState(state)) {}

Activation::~Activation() {
    swapCurrentState(m_previous);
}

} // namespace OfflineHost
