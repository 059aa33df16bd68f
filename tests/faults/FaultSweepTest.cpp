// The fault sweep: every host call that each command of every effect makes, at every depth, made
// to fail in turn, with each code the host returns, and each suite made missing. The calls come
// from the call log of a clean run, so a call the module makes later is covered without a new
// test. After each fault the module must have returned the host's code (516 for a suite it could
// not get), crashed nothing, left nothing behind (strict mode), and the host must render the
// next frame exactly as a clean run does.

#include "tests/effects/EffectsFixture.h"

#include "Shapes/OndrelRegistration.h"
#include "host/system/HostError.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace EffectsTest;
using OfflineHost::CallRecord;
using OfflineHost::pixelBytes;
using OfflineHost::StrictModeError;

// One life of an effect instance, as the host runs it: each step one or two commands.
enum class Step { GlobalSetup, ParamsSetup, About, UpdateParamsUI, Render, RenderNone, Setdown };
constexpr Step script[] = {Step::GlobalSetup, Step::ParamsSetup, Step::About,  Step::UpdateParamsUI,
                           Step::Render,      Step::RenderNone,  Step::Setdown};

const char* stepName(Step step) {
    switch (step) {
    case Step::GlobalSetup:
        return "global set-up";
    case Step::ParamsSetup:
        return "parameter set-up";
    case Step::About:
        return "about";
    case Step::UpdateParamsUI:
        return "parameter-UI update";
    case Step::Render:
        return "pre-render and render";
    case Step::RenderNone:
        return "pre-render and render with \"None\"";
    default:
        return "global set-down";
    }
}

// Every error code the host returns.
constexpr PF_Err hostCodes[] = {PF_Err_OUT_OF_MEMORY,    PF_Err_INTERNAL_STRUCT_DAMAGED,
                                PF_Err_INVALID_INDEX,    PF_Err_UNRECOGNIZED_PARAM_TYPE,
                                PF_Err_INVALID_CALLBACK, PF_Err_BAD_CALLBACK_PARAM,
                                PF_Interrupt_CANCEL,     PF_Err_CANNOT_PARSE_KEYFRAME_TEXT};

// Calls that hand something back to the host: when one fails, the host still holds what the
// module gave up, so only the module's answer and the next frame are checked.
const std::set<std::string> releases = {"ReleaseSuite", "dispose_world", "PF_DisposeWorld",
                                        "checkin_param", "checkin_layer_pixels"};
// Calls whose failure delivers nothing (a null handle or pointer) rather than a code: the module
// fails the command or carries on without what it asked for (global set-up without global data).
const std::set<std::string> deliveries = {"host_new_handle", "host_lock_handle"};

constexpr A_long layerWidth = 48;
constexpr A_long layerHeight = 36;

class Life {
public:
    Life(std::string_view effect, PixelDepth depth)
        : instance(std::make_unique<EffectInstance>(shapesModule(), effect)), m_depth(depth),
          m_layer(layerWidth, layerHeight, depth), output(1, 1, depth) {
        instance->setStrict(true);
        instance->setThreadCount(2);
        for (A_long y = 0; y < layerHeight; ++y) {
            for (A_long x = 0; x < layerWidth; ++x) {
                setPixel(m_layer, x, y, {0.8, x / 47.0, y / 35.0, 0.5});
            }
        }
    }

    PF_Err run(Step step) {
        switch (step) {
        case Step::GlobalSetup:
            return instance->globalSetup();
        case Step::ParamsSetup:
            return instance->paramsSetup();
        case Step::About:
            return instance->send(PF_Cmd_ABOUT);
        case Step::UpdateParamsUI:
            return instance->updateParamsUI();
        case Step::Render:
            return render("Multiply");
        case Step::RenderNone:
            return render("None");
        default:
            return instance->globalSetdown();
        }
    }

    std::unique_ptr<EffectInstance> instance;

private:
    // Fill and stroke, composited with the blending mode at 80 % opacity.
    PF_Err render(const std::string& blend) {
        setItem("Mode", "Fill and Stroke");
        setItem("Blending Mode", blend);
        instance->setValue(param(*instance, "Stroke Width"), 5);
        instance->setValue(param(*instance, "Opacity"), 80);
        Frame frame = frameAt(m_depth, layerWidth, layerHeight);
        return instance->renderFrame(frame, m_layer, output);
    }

    void setItem(std::string_view name, const std::string& item) {
        const int index = param(*instance, name);
        const std::string items = instance->paramDef(index).u.pd.u.namesptr;
        int number = 1;
        for (std::size_t start = 0;; ++number) {
            const std::size_t end = items.find('|', start);
            if (items.substr(start, end - start) == item) {
                instance->setValue(index, number);
                return;
            }
            if (end == std::string::npos) {
                throw std::runtime_error("no item " + item);
            }
            start = end + 1;
        }
    }

    PixelDepth m_depth;
    World m_layer;

public:
    World output;
};

bool sameWorld(const World& a, const World& b) {
    const std::size_t row = pixelBytes(a.depth()) * static_cast<std::size_t>(a.width());
    if (a.width() != b.width() || a.height() != b.height() || a.depth() != b.depth()) {
        return false;
    }
    for (A_long y = 0; y < a.height(); ++y) {
        const auto* ra = reinterpret_cast<const char*>(a.effectWorld().data) + y * a.rowBytes();
        const auto* rb = reinterpret_cast<const char*>(b.effectWorld().data) + y * b.rowBytes();
        if (std::memcmp(ra, rb, row) != 0) {
            return false;
        }
    }
    return true;
}

// A fault: the n-th call of a name in a step failing with a code, or a suite missing.
struct Fault {
    std::string call; // the call's name, or the suite's for a missing suite
    int occurrence = 0;
    PF_Err code = PF_Err_NONE;
    int suiteVersion = 0; // non-zero: the suite is missing
};

struct Sweep {
    std::string effect;
    PixelDepth depth;
    std::vector<std::string> problems;
    std::set<std::pair<std::string, int>> calls; // (step and call, occurrence) covered
    std::set<std::string> unfaultable;           // calls the host does not fail
    long faults = 0;

    void problem(Step step, const Fault& f, const std::string& what) {
        problems.push_back(effect + " at " + depthName(depth) + " bits, " + stepName(step) + ": " +
                           (f.suiteVersion != 0 ? "suite \"" + f.call + "\" missing"
                                                : f.call + " #" + std::to_string(f.occurrence) +
                                                      " failing with " + std::to_string(f.code)) +
                           ": " + what);
    }

    // The instance's life up to `step`, the fault in it, then the next frame. False when the
    // host does not fail that call.
    bool run(Step step, const Fault& f, const World& cleanFrame) {
        Life life(effect, depth);
        for (const Step before : script) {
            if (before == step) {
                break;
            }
            if (life.run(before) != PF_Err_NONE) {
                problem(step, f, std::string("the clean ") + stepName(before) + " failed");
                return true;
            }
        }
        auto& d = life.instance->diagnostics();
        const bool release = f.suiteVersion == 0 && releases.count(f.call) != 0;
        // What a failed release leaves, the host holds; strict mode would blame the module.
        life.instance->setStrict(!release);
        d.clearCalls();
        if (f.suiteVersion != 0) {
            d.hideSuite(f.call, f.suiteVersion);
        } else {
            d.failCall(f.call, f.code, f.occurrence);
        }
        PF_Err result = PF_Err_NONE;
        try {
            result = life.run(step);
        } catch (const StrictModeError& e) {
            problem(step, f, e.what());
            return true;
        }
        const auto log = d.calls();
        const bool triggered = std::any_of(log.begin(), log.end(), [&](const CallRecord& c) {
            return (c.name == "AcquireSuite" || c.name == f.call) &&
                   c.detail.find(f.suiteVersion != 0 ? "(hidden)" : "(injected fault)") !=
                       std::string::npos;
        });
        if (!triggered) {
            return false;
        }
        ++faults;
        d.clearFaults();
        const bool suite = f.suiteVersion != 0 || f.call == "AcquireSuite";
        const PF_Err expected = suite ? PF_Err_BAD_CALLBACK_PARAM : f.code;
        const bool answered =
            deliveries.count(f.call) != 0 ||
            (release ? result == PF_Err_NONE || result == f.code : result == expected);
        if (!answered) {
            problem(step, f, "the module returned " + std::to_string(result));
        }

        // The next frame, after setting up again what the fault left undone.
        try {
            life.instance->setStrict(!release);
            if (step == Step::Setdown || (step == Step::GlobalSetup && result != PF_Err_NONE)) {
                if (life.run(Step::GlobalSetup) != PF_Err_NONE) {
                    problem(step, f, "global set-up failed afterwards");
                    return true;
                }
            }
            if (step == Step::Setdown ||
                (step <= Step::ParamsSetup &&
                 (result != PF_Err_NONE || life.instance->paramCount() < 2))) {
                if (life.run(Step::ParamsSetup) != PF_Err_NONE) {
                    problem(step, f, "parameter set-up failed afterwards");
                    return true;
                }
            }
            if (life.run(Step::Render) != PF_Err_NONE) {
                problem(step, f, "the next frame failed to render");
            } else if (!sameWorld(life.output, cleanFrame)) {
                problem(step, f, "the next frame differs from a clean run's");
            }
            life.run(Step::Setdown);
        } catch (const StrictModeError& e) {
            problem(step, f, std::string("afterwards: ") + e.what());
        }
        return true;
    }
};

// The suites a call log acquires, by name and version, from AcquireSuite's detail.
std::set<std::pair<std::string, int>> suitesIn(const std::vector<CallRecord>& log) {
    std::set<std::pair<std::string, int>> suites;
    for (const auto& c : log) {
        const auto close = c.detail.find("\" v");
        if (c.name == "AcquireSuite" && c.detail.rfind('"', 0) == 0 && close != std::string::npos) {
            suites.emplace(c.detail.substr(1, close - 1), std::stoi(c.detail.substr(close + 3)));
        }
    }
    return suites;
}

TEST(FaultSweep, EveryHostCallOfEveryCommandFailsInTurn) {
    long faults = 0;
    long calls = 0;
    std::vector<std::string> problems;
    for (const Ondrel::EffectRegistration& registration : Ondrel::Registration::effects) {
        const char* const effect = registration.name;
        for (const PixelDepth depth :
             {PixelDepth::Bits8, PixelDepth::Bits16, PixelDepth::Float32}) {
            Sweep sweep{effect, depth, {}, {}, {}, 0};
            // The clean run: each step's calls, and the frame every faulted life must render.
            Life clean(effect, depth);
            std::map<Step, std::vector<CallRecord>> logs;
            for (const Step step : script) {
                clean.instance->diagnostics().clearCalls();
                ASSERT_EQ(clean.run(step), PF_Err_NONE) << effect << " " << stepName(step);
                logs[step] = clean.instance->diagnostics().calls();
            }
            Life next(effect, depth);
            for (const Step step : {Step::GlobalSetup, Step::ParamsSetup, Step::Render}) {
                ASSERT_EQ(next.run(step), PF_Err_NONE);
            }
            const World& cleanFrame = next.output;

            for (const Step step : script) {
                // Only rendering depends on the depth.
                const bool renders = step == Step::Render || step == Step::RenderNone;
                if (!renders && depth != PixelDepth::Bits8) {
                    continue;
                }
                std::map<std::string, int> seen;
                for (const auto& call : logs[step]) {
                    const int occurrence = ++seen[call.name];
                    if (sweep.unfaultable.count(call.name) != 0) {
                        continue;
                    }
                    for (const PF_Err code : hostCodes) {
                        if (!sweep.run(step, {call.name, occurrence, code, 0}, cleanFrame)) {
                            sweep.unfaultable.insert(call.name);
                            break;
                        }
                        sweep.calls.emplace(std::string(stepName(step)) + " " + call.name,
                                            occurrence);
                    }
                }
                for (const auto& [name, version] : suitesIn(logs[step])) {
                    sweep.run(step, {name, 0, PF_Err_NONE, version}, cleanFrame);
                }
            }
            faults += sweep.faults;
            calls += static_cast<long>(sweep.calls.size());
            problems.insert(problems.end(), sweep.problems.begin(), sweep.problems.end());
        }
    }
    std::printf("fault sweep: %ld calls failed in turn, %ld faults in all (every host code and "
                "each suite missing), %zu problems\n",
                calls, faults, problems.size());
    EXPECT_GT(calls, 100);
    for (std::size_t i = 0; i < problems.size() && i < 40; ++i) {
        ADD_FAILURE() << problems[i];
    }
}

} // namespace
