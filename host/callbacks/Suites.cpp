// The basic suite and the suites it serves, by name and version, with the function tables laid
// out as the SDK declares them. Every acquisition is counted against its release.

#include "host/callbacks/CallbackSupport.h"
#include "host/callbacks/Unsupported.h"

#include "AE_EffectCBSuites.h"
#include "AE_EffectPixelFormat.h"
#include "AE_EffectSuites.h"
#include "AE_GeneralPlug.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace OfflineHost {
namespace {

// ---- The utility suite's own functions.

A_Err reportInfo(Call& call, AEGP_PluginID, const A_char* info) {
    return call.perform(info != nullptr ? info : "(null)", [] { return PF_Err_NONE; });
}

A_Err driverVersion(A_short* major, A_short* minor) {
    if (major == nullptr || minor == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    *major = 13;
    *minor = 28;
    return PF_Err_NONE;
}

A_Err undoGroup(const A_char*) {
    return PF_Err_NONE;
}
A_Err endUndoGroup() {
    return PF_Err_NONE;
}

std::atomic<AEGP_PluginID> lastPluginId{0};

A_Err registerWithAEGP(Call& call, AEGP_GlobalRefcon, const A_char* name, AEGP_PluginID* id) {
    std::string detail = describe("name=\"", name != nullptr ? name : "(null)", "\"");
    if (id == nullptr || name == nullptr) {
        return call.refuse(detail + ": null name or id", PF_Err_BAD_CALLBACK_PARAM);
    }
    return call.perform(std::move(detail), [&] {
        auto& instance = call.state().instance;
        instance.pluginId = ++lastPluginId;
        *id = instance.pluginId;
        return PF_Err_NONE;
    });
}

// ---- The tables.

const PF_HandleSuite1 handleSuite = {Entries::hostNewHandle,     Entries::hostLockHandle,
                                     Entries::hostUnlockHandle,  Entries::hostDisposeHandle,
                                     Entries::hostGetHandleSize, Entries::hostResizeHandle};

const PF_WorldSuite1 worldSuite1 = {Entries::newWorld, Entries::disposeWorld};

const PF_WorldSuite2 worldSuite2 = {Entries::newWorldOfFormat, Entries::disposeWorldOfFormat,
                                    Entries::getPixelFormat};

PF_FillMatteSuite2 makeFillMatteSuite() {
    PF_FillMatteSuite2 suite{};
    suite.fill = Entries::fill8;
    suite.fill16 = Entries::fill16;
    suite.fill_float = Entries::fillFloat;
    suite.premultiply = unsupported<"premultiply">(suite.premultiply);
    suite.premultiply_color = unsupported<"premultiply_color">(suite.premultiply_color);
    suite.premultiply_color16 = unsupported<"premultiply_color16">(suite.premultiply_color16);
    suite.premultiply_color_float =
        unsupported<"premultiply_color_float">(suite.premultiply_color_float);
    return suite;
}
const PF_FillMatteSuite2 fillMatteSuite = makeFillMatteSuite();

PF_Iterate8Suite1 makeIterate8Suite() {
    PF_Iterate8Suite1 suite{};
    suite.iterate = unsupported<"iterate">(suite.iterate);
    suite.iterate_origin = unsupported<"iterate_origin">(suite.iterate_origin);
    suite.iterate_lut = unsupported<"iterate_lut">(suite.iterate_lut);
    suite.iterate_origin_non_clip_src =
        unsupported<"iterate_origin_non_clip_src">(suite.iterate_origin_non_clip_src);
    suite.iterate_generic = Entries::iterateGeneric;
    return suite;
}
const PF_Iterate8Suite1 iterate8Suite = makeIterate8Suite();

const AEGP_IterateSuite1 iterateSuite = {Entries::aegpGetNumThreads, Entries::aegpIterateGeneric};

AEGP_UtilitySuite3 makeUtilitySuite() {
    AEGP_UtilitySuite3 suite{};
    suite.AEGP_ReportInfo = logged<"AEGP_ReportInfo", &reportInfo>;
    suite.AEGP_GetDriverPluginInitFuncVersion = driverVersion;
    suite.AEGP_GetDriverImplementationVersion = driverVersion;
    suite.AEGP_StartUndoGroup = undoGroup;
    suite.AEGP_EndUndoGroup = endUndoGroup;
    suite.AEGP_RegisterWithAEGP = faultable<"AEGP_RegisterWithAEGP", &registerWithAEGP>;
    suite.AEGP_GetMainHWND = unsupported<"AEGP_GetMainHWND">(suite.AEGP_GetMainHWND);
    suite.AEGP_ShowHideAllFloaters =
        unsupported<"AEGP_ShowHideAllFloaters">(suite.AEGP_ShowHideAllFloaters);
    suite.AEGP_PaintPalGetForeColor =
        unsupported<"AEGP_PaintPalGetForeColor">(suite.AEGP_PaintPalGetForeColor);
    suite.AEGP_PaintPalGetBackColor =
        unsupported<"AEGP_PaintPalGetBackColor">(suite.AEGP_PaintPalGetBackColor);
    suite.AEGP_PaintPalSetForeColor =
        unsupported<"AEGP_PaintPalSetForeColor">(suite.AEGP_PaintPalSetForeColor);
    suite.AEGP_PaintPalSetBackColor =
        unsupported<"AEGP_PaintPalSetBackColor">(suite.AEGP_PaintPalSetBackColor);
    suite.AEGP_CharPalGetFillColor =
        unsupported<"AEGP_CharPalGetFillColor">(suite.AEGP_CharPalGetFillColor);
    suite.AEGP_CharPalGetStrokeColor =
        unsupported<"AEGP_CharPalGetStrokeColor">(suite.AEGP_CharPalGetStrokeColor);
    suite.AEGP_CharPalSetFillColor =
        unsupported<"AEGP_CharPalSetFillColor">(suite.AEGP_CharPalSetFillColor);
    suite.AEGP_CharPalSetStrokeColor =
        unsupported<"AEGP_CharPalSetStrokeColor">(suite.AEGP_CharPalSetStrokeColor);
    suite.AEGP_CharPalIsFillColorUIFrontmost =
        unsupported<"AEGP_CharPalIsFillColorUIFrontmost">(suite.AEGP_CharPalIsFillColorUIFrontmost);
    suite.AEGP_ConvertFpLongToHSFRatio =
        unsupported<"AEGP_ConvertFpLongToHSFRatio">(suite.AEGP_ConvertFpLongToHSFRatio);
    suite.AEGP_ConvertHSFRatioToFpLong =
        unsupported<"AEGP_ConvertHSFRatioToFpLong">(suite.AEGP_ConvertHSFRatioToFpLong);
    suite.AEGP_CauseIdleRoutinesToBeCalled =
        unsupported<"AEGP_CauseIdleRoutinesToBeCalled">(suite.AEGP_CauseIdleRoutinesToBeCalled);
    suite.AEGP_GetSuppressInteractiveUI =
        unsupported<"AEGP_GetSuppressInteractiveUI">(suite.AEGP_GetSuppressInteractiveUI);
    suite.AEGP_WriteToOSConsole = unsupported<"AEGP_WriteToOSConsole">(suite.AEGP_WriteToOSConsole);
    suite.AEGP_WriteToDebugLog = unsupported<"AEGP_WriteToDebugLog">(suite.AEGP_WriteToDebugLog);
    return suite;
}
const AEGP_UtilitySuite3 utilitySuite = makeUtilitySuite();

PF_ParamUtilsSuite1 makeParamUtilsSuite() {
    PF_ParamUtilsSuite1 suite{};
    suite.PF_UpdateParamUI = Entries::updateParamUI;
    suite.PF_IsIdenticalCheckout =
        unsupported<"PF_IsIdenticalCheckout">(suite.PF_IsIdenticalCheckout);
    suite.PF_FindKeyframeTime = unsupported<"PF_FindKeyframeTime">(suite.PF_FindKeyframeTime);
    suite.PF_GetKeyframeCount = unsupported<"PF_GetKeyframeCount">(suite.PF_GetKeyframeCount);
    suite.PF_CheckoutKeyframe = unsupported<"PF_CheckoutKeyframe">(suite.PF_CheckoutKeyframe);
    suite.PF_CheckinKeyframe = unsupported<"PF_CheckinKeyframe">(suite.PF_CheckinKeyframe);
    suite.PF_KeyIndexToTime = unsupported<"PF_KeyIndexToTime">(suite.PF_KeyIndexToTime);
    return suite;
}
const PF_ParamUtilsSuite1 paramUtilsSuite = makeParamUtilsSuite();

struct SuiteEntry {
    const char* name;
    int version;
    const void* table;
};

const SuiteEntry suites[] = {
    {"PF World Suite", 1, &worldSuite1},         {"PF World Suite", 2, &worldSuite2},
    {"PF Fill Matte Suite", 2, &fillMatteSuite}, {"AEGP Iterate Suite", 1, &iterateSuite},
    {"PF Iterate8 Suite", 1, &iterate8Suite},    {"PF Handle Suite", 2, &handleSuite},
    {"AEGP Utility Suite", 7, &utilitySuite},    {"PF Param Utils Suite", 2, &paramUtilsSuite},
};

const void* findSuite(const char* name, int version) {
    for (const auto& suite : suites) {
        if (suite.version == version && std::strcmp(suite.name, name) == 0) {
            return suite.table;
        }
    }
    return nullptr;
}

// ---- The basic suite.

SPErr acquireSuite(Call& call, const char* name, int32 version, const void** suite) {
    State& s = call.state();
    if (name == nullptr || suite == nullptr) {
        return call.refuse("null name or result", badParameterError);
    }
    std::string detail = describe("\"", name, "\" v", version);
    // A hidden suite is a fault of the suite asked for, not of the call, so the entry does not
    // apply it: the call is answered as for a suite the host lacks and logged as hidden, before
    // any fault injected into AcquireSuite, which does not count it.
    if (s.hidesSuite(name, version)) {
        return call.answer(detail + " (hidden)", suiteNotFoundError);
    }
    return call.perform(std::move(detail), [&](const std::string& asked) -> SPErr {
        const void* table = findSuite(name, version);
        if (table == nullptr) {
            return call.refuse(asked + ": no such suite", suiteNotFoundError);
        }
        *suite = table;
        ++s.instance.suiteBalance[{name, version}];
        ++s.suiteBalance[{name, version}];
        return kSPNoError;
    });
}

// The entry behind a shell of its own, since the module may read the suite pointer whatever the
// answer: it is null unless the call succeeds, even one that finds no request to serve.
SPErr acquireSuiteEntry(const char* name, int32 version, const void** suite) {
    if (suite != nullptr) {
        *suite = nullptr;
    }
    return faultable<"AcquireSuite", &acquireSuite, suiteNotFoundError>(name, version, suite);
}

SPErr releaseSuite(Call& call, const char* name, int32 version) {
    State& s = call.state();
    if (name == nullptr) {
        return call.refuse("null name", badParameterError);
    }
    std::string detail = describe("\"", name, "\" v", version);
    auto it = s.instance.suiteBalance.find({name, version});
    if (it == s.instance.suiteBalance.end() || it->second == 0) {
        return call.refuse(detail + ": not acquired", badParameterError);
    }
    return call.perform(std::move(detail), [&] {
        --it->second;
        // A suite acquired in another request (one kept between commands) leaves this one's
        // count as it is.
        if (auto mine = s.suiteBalance.find({name, version});
            mine != s.suiteBalance.end() && mine->second > 0) {
            --mine->second;
        }
        return kSPNoError;
    });
}

SPBoolean isEqual(const char* a, const char* b) {
    return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}

SPErr allocateBlock(size_t size, void** block) {
    if (block == nullptr) {
        return badParameterError;
    }
    *block = std::malloc(size > 0 ? size : 1);
    return *block != nullptr ? kSPNoError : badParameterError;
}

SPErr freeBlock(void* block) {
    std::free(block);
    return kSPNoError;
}

SPErr reallocateBlock(void* block, size_t size, void** moved) {
    if (moved == nullptr) {
        return badParameterError;
    }
    void* result = std::realloc(block, size > 0 ? size : 1);
    if (result == nullptr) {
        return badParameterError;
    }
    *moved = result;
    return kSPNoError;
}

SPErr undefined() {
    return badParameterError;
}

} // namespace

SPBasicSuite makeBasicSuite() {
    SPBasicSuite basic{};
    basic.AcquireSuite = acquireSuiteEntry;
    basic.ReleaseSuite = faultable<"ReleaseSuite", &releaseSuite, badParameterError>;
    basic.IsEqual = isEqual;
    basic.AllocateBlock = allocateBlock;
    basic.FreeBlock = freeBlock;
    basic.ReallocateBlock = reallocateBlock;
    basic.Undefined = undefined;
    return basic;
}

// A stand-in serves whatever its slot's signature, variadic ones too, so it is no entry: it finds
// the calling thread's request as an entry without an effect reference does.
void reportUnsupported(const char* name) noexcept {
    try {
        if (State* s = currentState()) {
            std::lock_guard lock(s->instance.mutex);
            s->misuse(name, "not offered by the offline host", PF_Err_INVALID_CALLBACK);
        }
    } catch (...) {
    }
}

} // namespace OfflineHost
