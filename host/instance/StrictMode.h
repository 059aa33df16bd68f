#pragma once

// Strict mode of an effect instance (EffectInstance::setStrict): the worlds a module is handed
// have guard bands, a render's output is poisoned before the module writes it, and after each
// command the host checks them and what the module holds. Internal to the host library; the
// caller holds the instance's mutex unless said otherwise.

#include "host/pixels/World.h"

#include "AE_Effect.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace OfflineHost {

struct InstanceState;

class StrictMode {
public:
    bool enabled = false;

    // A world the module creates: with guard bands in strict mode.
    std::unique_ptr<World> newWorld(A_long width, A_long height, PixelDepth depth) const;
    // The module disposes of a world it created during a command: its guards are checked first.
    void worldGoes(const InstanceState& s, const World& world);

    // A render begins over the caller's worlds. In strict mode the module gets guarded copies
    // instead, the output poisoned; returns the input and output to hand out.
    std::pair<World*, World*> beginRender(World* input, World* output);
    // The render ends: the caller's output takes every pixel the module wrote.
    void endRender();

    // What the command left wrong, naming the effect and the command; empty when nothing or
    // when strict mode is off (holds no lock).
    std::string afterCommand(InstanceState& s, PF_Cmd command, PF_Err result);

private:
    std::vector<std::string> _found; // by worldGoes during the command
    World* _callerInput = nullptr;
    World* _callerOutput = nullptr;
    std::optional<World> _input;
    std::optional<World> _output;
};

} // namespace OfflineHost
