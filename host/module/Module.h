#pragma once

// A loaded module: the shared library, its registration records and its entry functions.

#include "host/module/Pipl.h"

#include "AE_Effect.h"

#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

namespace OfflineHost {

class ModuleLibrary;

// The host's effect entry function: command, input record, output record, parameter array,
// output world (unused by smart-render effects) and the command's extra data.
using EntryFunction = PF_Err (*)(PF_Cmd, PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*,
                                 void*);

class Module {
public:
    struct Effect {
        PiplResource resource; // resource id, language and the records
        EntryFunction entry = nullptr;

        const EffectRecords& records() const { return resource.records; }
    };

    // Opens the library, reads its records (on Linux and macOS the file beside it with the same
    // path and the extension ".pipl", on Windows its "PIPL" resources) and looks up each
    // effect's entry function by the name its records give. Throws HostError naming the file
    // and what is missing: a library that cannot be opened, no records or no effect in them, an
    // effect whose records name no entry point, or an entry point the library does not export.
    explicit Module(const std::filesystem::path& library);
    ~Module();

    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    const std::vector<Effect>& effects() const { return m_effects; }

    // The effect with this name or match name; throws HostError when there is none.
    const Effect& effect(std::string_view name) const;

private:
    std::filesystem::path m_path;
    std::unique_ptr<ModuleLibrary> m_library;
    std::vector<Effect> m_effects;
};

} // namespace OfflineHost
