#include "Shapes/OndrelSmartRender.h"

#include "AE_EffectCB.h"
#include "Util/Smart_Utils.h"

namespace Ondrel {

namespace {

// The blend-mode number of "Normal".
constexpr int blendModeNormal = 0;

// A new handle, locked, that is disposed of again unless it is handed to the host.
class NewPreRenderHandle {
public:
    NewPreRenderHandle(PF_InData* inData, std::size_t size)
        : m_inData(inData), m_handle(inData->utils->host_new_handle(size)) {
        if (m_handle != nullptr) {
            m_block = m_inData->utils->host_lock_handle(m_handle);
        }
    }
    ~NewPreRenderHandle() {
        if (m_handle != nullptr) {
            _unlock();
            m_inData->utils->host_dispose_handle(m_handle);
        }
    }
    NewPreRenderHandle(const NewPreRenderHandle&) = delete;
    NewPreRenderHandle& operator=(const NewPreRenderHandle&) = delete;

    void* block() const { return m_block; }

    // Unlocked, and no longer this object's to dispose of.
    PF_Handle release() {
        _unlock();
        const PF_Handle handle = m_handle;
        m_handle = nullptr;
        return handle;
    }

private:
    void _unlock() {
        if (m_block != nullptr) {
            m_inData->utils->host_unlock_handle(m_handle);
            m_block = nullptr;
        }
    }

    PF_InData* m_inData;
    PF_Handle m_handle;
    void* m_block = nullptr;
};

} // namespace

void deletePreRenderData(void* preRenderData) {
    const auto handle = static_cast<PF_Handle>(preRenderData);
    if (handle == nullptr || *handle == nullptr) {
        return;
    }
    const auto dispose = static_cast<const PreRenderHeader*>(*handle)->disposeHandle;
    if (dispose != nullptr) {
        dispose(handle);
    }
}

PF_Err preRenderShape(PF_InData* inData, PF_PreRenderExtra* extra, const PreRenderRecipe& recipe) {
    PF_RenderRequest request = extra->input->output_request;

    NewPreRenderHandle handle(inData, recipe.blockSize);
    if (handle.block() == nullptr) {
        return PF_Err_OUT_OF_MEMORY;
    }
    ParamValues values(*inData);
    if (const PF_Err err = values.checkOut(inData, recipe.indices)) {
        return err;
    }
    recipe.fill(values, handle.block());
    static_cast<PreRenderHeader*>(handle.block())->disposeHandle =
        inData->utils->host_dispose_handle;

    request.preserve_rgb_of_zero_alpha = true;
    PF_CheckoutResult checkout{};
    if (const PF_Err err =
            extra->cb->checkout_layer(inData->effect_ref, 0, 0, &request, inData->current_time,
                                      inData->time_step, inData->time_scale, &checkout)) {
        return err;
    }
    // The shape is cut at the input layer's rectangle, so the output is the input's.
    UnionLRect(&checkout.result_rect, &extra->output->result_rect);
    UnionLRect(&checkout.max_result_rect, &extra->output->max_result_rect);

    extra->output->pre_render_data = handle.release();
    extra->output->delete_pre_render_data_func = deletePreRenderData;
    return PF_Err_NONE;
}

LockedPreRenderData::LockedPreRenderData(PF_InData* inData, PF_SmartRenderExtra* extra)
    : m_inData(inData), m_handle(static_cast<PF_Handle>(extra->input->pre_render_data)) {
    if (m_handle != nullptr) {
        m_block = m_inData->utils->host_lock_handle(m_handle);
    }
}

LockedPreRenderData::~LockedPreRenderData() {
    if (m_block != nullptr) {
        m_inData->utils->host_unlock_handle(m_handle);
    }
}

PF_Err prepareOutput(Layer& input, Layer& output, int& blendMode) {
    if (blendMode == blendModeNone) {
        output.fill(ColorFloat<float>(0.0f, 0.0f, 0.0f, 0.0f));
        blendMode = blendModeNormal;
        return output.getError();
    }
    input.copyTo(output);
    return input.getError();
}

} // namespace Ondrel
