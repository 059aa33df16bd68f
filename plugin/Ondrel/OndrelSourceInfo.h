// The context of one smart-render call: checks out the effect's input pixels and its output world
// and finds the render's depth code. Copies share one state. The first host error is kept and
// stops the remaining steps; callers test getError() before using the worlds.
#pragma once

#include "AE_Effect.h"
#include "AE_EffectCB.h"

#include <memory>

namespace Ondrel {

class SourceInfo {
public:
    // A null basic suite in inData escapes as the integer exception PF_Err_BAD_CALLBACK_PARAM.
    SourceInfo(PF_InData* inData, PF_OutData* outData, PF_SmartRenderExtra* extra);

    PF_Err getError() const;
    // 0 until the input's pixel format is known; stays 0 for a format outside the known codes.
    int getBPC() const;
    PF_EffectWorld* getInputWorld() const;
    PF_EffectWorld* getOutputWorld() const;

private:
    class Impl;
    std::shared_ptr<Impl> m_impl;
};

} // namespace Ondrel
