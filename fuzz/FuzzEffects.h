#pragma once

// The module's effects for the targets that link the module in rather than load it: one instance
// of each, kept for the whole run as `ondrel serve` keeps them.

#include "FuzzInput.h"

#include "Shapes/OndrelEntryPoints.h"

#include "host/instance/EffectInstance.h"
#include "host/system/HostError.h"

#include <array>
#include <memory>
#include <string>

namespace OndrelFuzz {

// The effect an input picks, by the module's own list.
inline const Ondrel::EffectEntry& pickEffect(Bytes& in) {
    return Ondrel::effectEntries[in.pick(static_cast<unsigned>(Ondrel::effectEntries.size()))];
}

// The effect's instance, its global and parameter set-up done once (they read nothing of an
// input, and a fifth of each run went on them), with every parameter back at its definition's
// value and an empty call log, so that each input starts as afresh. The instances are never
// destroyed: the host's own statics may go first when the run ends.
inline OfflineHost::EffectInstance& keptInstance(const Ondrel::EffectEntry& effect) {
    static auto& instances = *new std::array<std::unique_ptr<OfflineHost::EffectInstance>,
                                             Ondrel::effectEntries.size()>();
    auto& instance = instances[static_cast<std::size_t>(&effect - Ondrel::effectEntries.data())];
    if (!instance) {
        const std::string name = effect.registration->name;
        OfflineHost::EffectRecords records;
        records.name = name;
        instance = std::make_unique<OfflineHost::EffectInstance>(effect.entry, records);
        try {
            if (instance->globalSetup() != PF_Err_NONE || instance->paramsSetup() != PF_Err_NONE) {
                stop(name + ": set-up failed");
            }
        } catch (const OfflineHost::HostError& e) {
            stop(name + ": set-up failed: " + e.what());
        }
    }
    instance->resetValues();
    instance->diagnostics().clearCalls(); // the call log would grow with every input
    return *instance;
}

} // namespace OndrelFuzz
