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

A_Err reportInfo(AEGP_PluginID, const A_char* info) {
    return withCurrent<A_Err>(PF_Err_BAD_CALLBACK_PARAM, [&](State& s) -> A_Err {
        s.record("AEGP_ReportInfo", info != nullptr ? info : "(null)", PF_Err_NONE);
        return PF_Err_NONE;
    });
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

A_Err registerWithAEGP(AEGP_GlobalRefcon, const A_char* name, AEGP_PluginID* id) {
    return withCurrent<A_Err>(PF_Err_BAD_CALLBACK_PARAM, [&](State& s) -> A_Err {
        const std::string detail = describe("name=\"", name != nullptr ? name : "(null)", "\"");
        if (id == nullptr || name == nullptr) {
            return s.misuse("AEGP_RegisterWithAEGP", detail + ": null name or id",
                            PF_Err_BAD_CALLBACK_PARAM);
        }
        if (auto code = s.fault("AEGP_RegisterWithAEGP", detail)) {
            return *code;
        }
        s.instance.pluginId = ++lastPluginId;
        *id = s.instance.pluginId;
        s.record("AEGP_RegisterWithAEGP", detail, PF_Err_NONE);
        return PF_Err_NONE;
    });
}

// ---- The tables.

const PF_HandleSuite1 handleSuite = {Callbacks::hostNewHandle,     Callbacks::hostLockHandle,
                                     Callbacks::hostUnlockHandle,  Callbacks::hostDisposeHandle,
                                     Callbacks::hostGetHandleSize, Callbacks::hostResizeHandle};

const PF_WorldSuite1 worldSuite1 = {Callbacks::newWorld, Callbacks::disposeWorld};

const PF_WorldSuite2 worldSuite2 = {Callbacks::newWorldOfFormat, Callbacks::disposeWorldOfFormat,
                                    Callbacks::getPixelFormat};

PF_FillMatteSuite2 makeFillMatteSuite() {
    PF_FillMatteSuite2 suite{};
    suite.fill = Callbacks::fill8;
    suite.fill16 = Callbacks::fill16;
    suite.fill_float = Callbacks::fillFloat;
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
    suite.iterate_generic = Callbacks::iterateGeneric;
    return suite;
}
const PF_Iterate8Suite1 iterate8Suite = makeIterate8Suite();

const AEGP_IterateSuite1 iterateSuite = {Callbacks::aegpGetNumThreads,
                                         Callbacks::aegpIterateGeneric};

AEGP_UtilitySuite3 makeUtilitySuite() {
    AEGP_UtilitySuite3 suite{};
    suite.AEGP_ReportInfo = reportInfo;
    suite.AEGP_GetDriverPluginInitFuncVersion = driverVersion;
    suite.AEGP_GetDriverImplementationVersion = driverVersion;
    suite.AEGP_StartUndoGroup = undoGroup;
    suite.AEGP_EndUndoGroup = endUndoGroup;
    suite.AEGP_RegisterWithAEGP = registerWithAEGP;
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
    suite.PF_UpdateParamUI = Callbacks::updateParamUI;
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

SPErr acquireSuite(const char* name, int32 version, const void** suite) {
    if (suite != nullptr) {
        *suite = nullptr;
    }
    return withCurrent<SPErr>(suiteNotFoundError, [&](State& s) -> SPErr {
        if (name == nullptr || suite == nullptr) {
            return s.misuse("AcquireSuite", "null name or result", badParameterError);
        }
        const std::string detail = describe("\"", name, "\" v", version);
        if (s.hidesSuite(name, version)) {
            s.record("AcquireSuite", detail + " (hidden)", suiteNotFoundError);
            return suiteNotFoundError;
        }
        if (auto code = s.fault("AcquireSuite", detail)) {
            return *code;
        }
        const void* table = findSuite(name, version);
        if (table == nullptr) {
            return s.misuse("AcquireSuite", detail + ": no such suite", suiteNotFoundError);
        }
        *suite = table;
        ++s.instance.suiteBalance[{name, version}];
        ++s.suiteBalance[{name, version}];
        s.record("AcquireSuite", detail, kSPNoError);
        return kSPNoError;
    });
}

SPErr releaseSuite(const char* name, int32 version) {
    return withCurrent<SPErr>(badParameterError, [&](State& s) -> SPErr {
        if (name == nullptr) {
            return s.misuse("ReleaseSuite", "null name", badParameterError);
        }
        const std::string detail = describe("\"", name, "\" v", version);
        auto it = s.instance.suiteBalance.find({name, version});
        if (it == s.instance.suiteBalance.end() || it->second == 0) {
            return s.misuse("ReleaseSuite", detail + ": not acquired", badParameterError);
        }
        if (auto code = s.fault("ReleaseSuite", detail)) {
            return *code;
        }
        --it->second;
        // A suite acquired in another request (one kept between commands) leaves this one's
        // count as it is.
        if (auto mine = s.suiteBalance.find({name, version});
            mine != s.suiteBalance.end() && mine->second > 0) {
            --mine->second;
        }
        s.record("ReleaseSuite", detail, kSPNoError);
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
    return {acquireSuite, releaseSuite,    isEqual,  allocateBlock,
            freeBlock,    reallocateBlock, undefined};
}

void reportUnsupported(const char* name) noexcept {
    withCurrent<int>(0, [&](State& s) {
        return s.misuse(name, "not offered by the offline host", PF_Err_INVALID_CALLBACK);
    });
}

} // namespace OfflineHost
