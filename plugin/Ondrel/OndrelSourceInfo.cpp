#include "Ondrel/OndrelSourceInfo.h"

#include "AE_EffectCBSuites.h"
#include "AE_EffectPixelFormat.h"
#include "Ondrel/OndrelLayer.h"
#include "Ondrel/OndrelScopedSuite.h"
#include "Util/AEGP_SuiteHandler.h"

#include <cstdint>

namespace Ondrel {

namespace {

// Pixel formats are four-character codes stored first character first; the static_asserts pin
// that order to the SDK's own constants, which also lets the one code without a constant, "BGra",
// be written the same way.
constexpr std::uint32_t fourCharCode(const char (&code)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[3])) << 24;
}

constexpr std::uint32_t formatCode(PF_PixelFormat format) {
    return static_cast<std::uint32_t>(format);
}

static_assert(fourCharCode("argb") == formatCode(PF_PixelFormat_ARGB32));
static_assert(fourCharCode("bgra") == formatCode(PF_PixelFormat_BGRA32));
static_assert(fourCharCode("ae16") == formatCode(PF_PixelFormat_ARGB64));
static_assert(fourCharCode("ae32") == formatCode(PF_PixelFormat_ARGB128));
static_assert(fourCharCode("badf") == formatCode(PF_PixelFormat_INVALID));

// The depth code of a pixel format, or fallback for a format outside the five known codes.
int depthOfFormat(PF_PixelFormat format, int fallback) {
    switch (formatCode(format)) {
    case fourCharCode("argb"):
    case fourCharCode("bgra"):
        return bpc8;
    case fourCharCode("ae16"):
        return bpc16;
    case fourCharCode("ae32"):
    case fourCharCode("BGra"):
        return bpc32;
    default:
        return fallback;
    }
}

} // namespace

class SourceInfo::Impl {
public:
    Impl(PF_InData* in, PF_OutData* out, PF_SmartRenderExtra* smartExtra)
        : inData(in), outData(out), extra(smartExtra), suites(in->pica_basicP) {
        _initialize();
    }

    PF_Err err = PF_Err_NONE;
    PF_InData* inData;
    PF_OutData* outData;
    PF_SmartRenderExtra* extra;
    int bpc = bpc8;
    PF_EffectWorld* inputWorld = nullptr;
    PF_EffectWorld* outputWorld = nullptr;
    // Built with the context so that a missing basic suite fails the render at its first step.
    AEGP_SuiteHandler suites;

private:
    void _initialize() {
        err = extra->cb->checkout_layer_pixels(inData->effect_ref, 0, &inputWorld);
        _requireWorld(inputWorld);
        if (err == PF_Err_NONE) {
            err = extra->cb->checkout_output(inData->effect_ref, &outputWorld);
            _requireWorld(outputWorld);
        }
        if (err == PF_Err_NONE) {
            _findDepth();
        }
    }

    // A checkout that succeeds without a world would hand the host a null world next.
    void _requireWorld(const PF_EffectWorld* world) {
        if (err == PF_Err_NONE && world == nullptr) {
            err = PF_Err_BAD_CALLBACK_PARAM;
        }
    }

    void _findDepth() {
        const ScopedSuite<PF_WorldSuite2> worldSuite(inData, outData, "PF World Suite", 2);
        err = worldSuite.getError();
        if (err != PF_Err_NONE) {
            return;
        }
        PF_PixelFormat format = PF_PixelFormat_INVALID;
        err = worldSuite->PF_GetPixelFormat(inputWorld, &format);
        if (err == PF_Err_NONE) {
            bpc = depthOfFormat(format, bpc);
        }
    }
};

SourceInfo::SourceInfo(PF_InData* inData, PF_OutData* outData, PF_SmartRenderExtra* extra)
    : m_impl(std::make_shared<Impl>(inData, outData, extra)) {}

PF_Err SourceInfo::getError() const {
    return m_impl->err;
}
int SourceInfo::getBPC() const {
    return m_impl->bpc;
}
PF_EffectWorld* SourceInfo::getInputWorld() const {
    return m_impl->inputWorld;
}
PF_EffectWorld* SourceInfo::getOutputWorld() const {
    return m_impl->outputWorld;
}

} // namespace Ondrel
