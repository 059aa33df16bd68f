#pragma once

// Strict mode of an effect instance (EffectInstance::setStrict): the worlds a module is handed
// have guard bands, a render's output is poisoned before the module writes it, and after each
// command the host checks them and what the module holds. Internal to the host library; the
// caller holds the instance's mutex.

#include "host/instance/Diagnostics.h"
#include "host/pixels/World.h"

#include "AE_Effect.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace OfflineHost {

// What strict mode checks when a command ends, as the instance has it then.
struct CommandEnd {
    std::string effect; // the effect's name as messages give it
    PF_Cmd command = 0;
    PF_Err result = PF_Err_NONE;
    PF_LRect promised{};                     // the output rectangle of the last pre-render
    std::vector<const World*> createdWorlds; // the worlds the module created and holds
    Account held;                            // what the module holds as the command ends
    PF_Handle globalData = nullptr;          // the handle the host keeps for the effect
};

class StrictMode {
public:
    bool enabled = false;

    // A world the module creates: with guard bands in strict mode.
    std::unique_ptr<World> newWorld(A_long width, A_long height, PixelDepth depth) const;
    // The module disposes of a world it created: its guards are checked first, during one of the
    // module's commands (a test's Context leaves the checks to the test).
    void worldGoes(bool duringCommand, const World& world);

    // A render begins over the caller's worlds. In strict mode the module gets guarded copies
    // instead, the output poisoned; returns the input and output to hand out.
    std::pair<World*, World*> beginRender(World* input, World* output);
    // The render ends: the caller's output takes every pixel the module wrote.
    void endRender();

    // What the command left wrong, naming the effect and the command; empty when nothing or
    // when strict mode is off.
    std::string afterCommand(const CommandEnd& end);

private:
    std::vector<std::string> m_found; // by worldGoes during the command
    World* m_callerInput = nullptr;
    World* m_callerOutput = nullptr;
    std::optional<World> m_input;
    std::optional<World> m_output;
};

} // namespace OfflineHost
