// Lazily acquired, cached host suites. A handler is a short-lived stack object: whatever it
// acquired is handed back when it goes out of scope, so no suite outlives the host command.
#pragma once

#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "AE_EffectCBSuites.h"
#include "AE_EffectPixelFormat.h"
#include "AE_EffectSuites.h"
#include "AE_GeneralPlug.h"
#include "SPBasic.h"

#include <array>
#include <cstddef>

// The suites the module uses: accessor name, function table, suite name and version. Each row
// becomes one cached slot and one accessor.
#define AEGP_SUITE_HANDLER_SUITES(X)                                                               \
    X(WorldSuite1, PF_WorldSuite1, "PF World Suite", 1)                                            \
    X(WorldSuite2, PF_WorldSuite2, "PF World Suite", 2)                                            \
    X(FillMatteSuite2, PF_FillMatteSuite2, "PF Fill Matte Suite", 2)                               \
    X(IterateSuite1, AEGP_IterateSuite1, "AEGP Iterate Suite", 1)                                  \
    X(Iterate8Suite1, PF_Iterate8Suite1, "PF Iterate8 Suite", 1)                                   \
    X(HandleSuite1, PF_HandleSuite1, "PF Handle Suite", 2)                                         \
    X(UtilitySuite3, AEGP_UtilitySuite3, "AEGP Utility Suite", 7)                                  \
    X(ParamUtilsSuite1, PF_ParamUtilsSuite1, "PF Param Utils Suite", 2)

class AEGP_SuiteHandler {
    enum class Slot : std::size_t {
#define AEGP_SUITE_HANDLER_SLOT(accessor, table, name, version) accessor,
        AEGP_SUITE_HANDLER_SUITES(AEGP_SUITE_HANDLER_SLOT)
#undef AEGP_SUITE_HANDLER_SLOT
            Count
    };

public:
    // A null basic suite throws 516 (MissingSuiteError).
    explicit AEGP_SuiteHandler(const SPBasicSuite* basicSuite);
    ~AEGP_SuiteHandler();

    AEGP_SuiteHandler(const AEGP_SuiteHandler&) = delete;
    AEGP_SuiteHandler& operator=(const AEGP_SuiteHandler&) = delete;

    // Each accessor acquires its suite on first use and throws 516 when the host has none.
#define AEGP_SUITE_HANDLER_ACCESSOR(accessor, table, name, version)                                \
    table* accessor() const {                                                                      \
        return static_cast<table*>(_suite(Slot::accessor));                                        \
    }
    AEGP_SUITE_HANDLER_SUITES(AEGP_SUITE_HANDLER_ACCESSOR)
#undef AEGP_SUITE_HANDLER_ACCESSOR

    // Hands a suite back to the host. If it is one this handler holds, its slot is cleared too,
    // so the destructor does not release it a second time.
    void ReleaseSuite(const char* name, int32 version);
    void ReleaseAllSuites();

    [[noreturn]] void MissingSuiteError() const;

private:
    void* _suite(Slot slot) const;

    const SPBasicSuite* m_basicSuite;
    mutable std::array<const void*, static_cast<std::size_t>(Slot::Count)> m_suites{};
};
