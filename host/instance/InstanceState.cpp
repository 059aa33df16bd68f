#include "host/instance/InstanceState.h"

#include "host/system/SystemLimits.h"

#include <algorithm>
#include <cmath>

namespace OfflineHost {
namespace {

// The live instances, so that an effect reference is checked before it is trusted.
std::mutex liveMutex;
std::set<const InstanceState*> liveStates;

thread_local InstanceState* threadState = nullptr;

// The interface version the host reports in in_data.
constexpr PF_SpecVersion hostVersion{13, 28};

double ratio(const PF_RationalScale& scale) {
    return scale.den == 0 ? 1.0 : static_cast<double>(scale.num) / scale.den;
}

} // namespace

InstanceState::InstanceState(std::shared_ptr<const Module> owner, EntryFunction function,
                             std::optional<EffectRecords> effectRecords)
    : module(std::move(owner)), entry(function), records(std::move(effectRecords)),
      utils(makeUtilCallbacks()), basic(makeBasicSuite()) {
    std::lock_guard lock(liveMutex);
    liveStates.insert(this);
}

InstanceState::~InstanceState() {
    std::lock_guard lock(liveMutex);
    liveStates.erase(this);
}

int InstanceState::configuredThreads() const {
    // Read once: every iterate call asks, and a process's processors are settled when it starts.
    static const int processors = usableProcessors();
    return threads > 0 ? threads : processors;
}

std::shared_ptr<WorkerPool> InstanceState::workerPool() {
    if (!pool || pool->threadCount() != configuredThreads()) {
        pool = std::make_shared<WorkerPool>(configuredThreads());
    }
    return pool;
}

Account InstanceState::takeAccount() const {
    Account account;
    for (const auto& [handle, size] : handles.live()) {
        account.liveHandles.push_back(LiveHandle{handle, size, handle == globalData});
    }
    for (const auto& [data, world] : createdWorlds) {
        account.liveWorlds.push_back(LiveWorld{world->width(), world->height(), world->depth()});
    }
    for (const auto& [suite, balance] : suiteBalance) {
        if (balance > 0) {
            account.unreleasedSuites.push_back(UnreleasedSuite{suite.first, suite.second, balance});
        }
    }
    for (const auto& checkout : command.paramCheckouts) {
        account.paramsNotCheckedIn.push_back(checkout.second);
    }
    return account;
}

PF_LRect InstanceState::layerRect() const {
    if (input != nullptr) {
        const auto& w = input->effectWorld();
        return {w.origin_x, w.origin_y, w.origin_x + w.width, w.origin_y + w.height};
    }
    return {0, 0, frame.scaledWidth(), frame.scaledHeight()};
}

CheckoutScale InstanceState::checkoutScale() const {
    return CheckoutScale{ratio(frame.downsampleX), ratio(frame.downsampleY), frame.layerWidth,
                         frame.layerHeight};
}

void InstanceState::openCommand(PF_Cmd cmd, const Frame& at) {
    std::lock_guard lock(mutex);
    if (command.open) {
        throw HostError("a command or Context is already open on this effect instance");
    }
    frame = at;
    command.open = true;
    command.command = cmd;
    command.paramCheckouts.clear();

    PF_InData& in = command.in;
    in = PF_InData{};
    in.inter = makeInteractCallbacks();
    in.utils = &utils;
    in.effect_ref = reinterpret_cast<PF_ProgPtr>(this);
    in.quality = PF_Quality_HI;
    in.version = hostVersion;
    in.appl_id = static_cast<A_long>(fourCC("FXTC"));
    in.num_params = params.count();
    in.current_time = at.time;
    in.time_step = at.timeStep;
    in.local_time_step = at.timeStep;
    in.total_time = at.time + at.timeStep;
    in.time_scale = at.timeScale;
    in.field = PF_Field_FRAME;
    in.width = at.layerWidth;
    in.height = at.layerHeight;
    in.extent_hint = layerRect();
    in.downsample_x = at.downsampleX;
    in.downsample_y = at.downsampleY;
    in.pixel_aspect_ratio = {1, 1};
    in.global_data = globalData;
    in.pica_basicP = &basic;

    command.out = PF_OutData{};
    command.out.global_data = globalData;

    // The parameter array: every value at the frame's time, the input layer as its world.
    const double seconds = at.timeScale == 0 ? 0.0 : static_cast<double>(at.time) / at.timeScale;
    command.values.clear();
    command.values.reserve(static_cast<std::size_t>(params.count()));
    for (int i = 0; i < params.count(); ++i) {
        command.values.push_back(params.valueAt(i, seconds, checkoutScale()));
    }
    if (input != nullptr) {
        command.values[0].u.ld = input->effectWorld();
    }
    command.pointers.clear();
    command.pointers.reserve(command.values.size());
    for (auto& value : command.values) {
        command.pointers.push_back(&value);
    }
}

void InstanceState::closeCommand() {
    std::lock_guard lock(mutex);
    diagnostics._commandEnded();
    command.paramCheckouts.clear();
    lastOut = command.out;
    globalData = command.command == PF_Cmd_GLOBAL_SETDOWN ? nullptr : command.out.global_data;
    command.open = false;
}

std::string InstanceState::strictCheck(PF_Cmd cmd, PF_Err result) {
    std::lock_guard lock(mutex);
    CommandEnd end{records ? records->name : std::string("the module"),
                   cmd,
                   result,
                   preRenderResult.resultRect,
                   {},
                   diagnostics.lastAccount(),
                   globalData};
    for (const auto& [data, world] : createdWorlds) {
        end.createdWorlds.push_back(world.get());
    }
    return strict.afterCommand(end);
}

void InstanceState::forgetRenderWorlds() {
    std::lock_guard lock(mutex);
    input = nullptr;
    output = nullptr;
    layerCheckouts.clear();
}

InstanceState* stateOf(PF_ProgPtr effectRef) {
    auto* state = reinterpret_cast<InstanceState*>(effectRef);
    std::lock_guard lock(liveMutex);
    return liveStates.count(state) != 0 ? state : nullptr;
}

InstanceState* currentState() {
    return threadState;
}

InstanceState* swapCurrentState(InstanceState* state) {
    return std::exchange(threadState, state);
}

Activation::Activation(InstanceState* state) : m_previous(swapCurrentState(state)) {}

Activation::~Activation() {
    swapCurrentState(m_previous);
}

} // namespace OfflineHost
