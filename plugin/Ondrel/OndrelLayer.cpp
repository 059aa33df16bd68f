#include "Ondrel/OndrelLayer.h"

#include "AE_EffectCB.h"
#include "AE_EffectCBSuites.h"
#include "AE_EffectPixelFormat.h"
#include "Ondrel/OndrelBlend.h"
#include "Ondrel/OndrelPixelTraits.h"
#include "Ondrel/OndrelScopedSuite.h"
#include "Util/AEGP_SuiteHandler.h"

#include <algorithm>
#include <optional>

namespace Ondrel {

namespace {

enum class Kind { borrowed = 0, created = 2 };

int pixelSize(int bpc) {
    switch (bpc) {
    case bpc8:
        return static_cast<int>(sizeof(PF_Pixel));
    case bpc16:
        return static_cast<int>(sizeof(PF_Pixel16));
    case bpc32:
        return static_cast<int>(sizeof(PF_PixelFloat));
    default:
        return 0;
    }
}

} // namespace

class Layer::Impl {
public:
    Impl(PF_InData* in, PF_OutData* out, PF_LayerDef* borrowed, int depth)
        : inData(in), outData(out), kind(Kind::borrowed), bpc(depth), world(borrowed) {
        _cacheWorld();
    }

    Impl(PF_InData* in, PF_OutData* out, int width, int height, int depth)
        : inData(in), outData(out), kind(Kind::created), bpc(depth),
          m_record(std::make_unique<PF_LayerDef>()) {
        world = m_record.get();
        _createWorld(width, height);
        _cacheWorld();
    }

    ~Impl() { _disposeWorld(); }

    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    bool hasPixels() const { return world != nullptr && world->data != nullptr; }

    // Records PF_Err_BAD_CALLBACK_PARAM instead of passing a world without pixels to the host.
    bool requirePixels(const Impl* other = nullptr) {
        if (hasPixels() && (other == nullptr || other->hasPixels())) {
            return true;
        }
        err = PF_Err_BAD_CALLBACK_PARAM;
        return false;
    }

    template <typename Pixel>
    PixelView<Pixel> view(int depth, Pixel* base) const {
        if (bpc != depth || base == nullptr) {
            return {};
        }
        return {base, worldWidth, worldHeight, rowPixels};
    }

    PF_InData* inData;
    PF_OutData* outData;
    PF_Err err = PF_Err_NONE;
    Kind kind;
    int bpc;
    PF_EffectWorld* world = nullptr;
    PF_Pixel* pixels8 = nullptr;
    PF_Pixel16* pixels16 = nullptr;
    PF_PixelFloat* pixels32 = nullptr;
    int worldWidth = 0;
    int worldHeight = 0;
    int rowPixels = 0;

private:
    void _cacheWorld() {
        const int size = pixelSize(bpc);
        if (!hasPixels() || size == 0) {
            return;
        }
        // The pixel base is typed as 8-bit pixels or as bytes (deep-colour-aware builds),
        // whatever the depth.
        pixels8 = reinterpret_cast<PF_Pixel*>(world->data);
        pixels16 = reinterpret_cast<PF_Pixel16*>(world->data);
        pixels32 = reinterpret_cast<PF_PixelFloat*>(world->data);
        worldWidth = world->width;
        worldHeight = world->height;
        rowPixels = world->rowbytes / size;
    }

    void _createWorld(int width, int height) {
        if (err != PF_Err_NONE) {
            return;
        }
        switch (bpc) {
        case bpc8:
        case bpc16: {
            m_suites.emplace(inData->pica_basicP);
            const PF_NewWorldFlags flags =
                bpc == bpc8 ? PF_NewWorldFlag_CLEAR_PIXELS
                            : PF_NewWorldFlag_CLEAR_PIXELS | PF_NewWorldFlag_DEEP_PIXELS;
            err =
                m_suites->WorldSuite1()->new_world(inData->effect_ref, width, height, flags, world);
            break;
        }
        case bpc32: {
            m_worldSuite2.emplace(inData, outData, "PF World Suite", 2);
            err = m_worldSuite2->getError();
            if (err == PF_Err_NONE) {
                err = (*m_worldSuite2)
                          ->PF_NewWorld(inData->effect_ref, width, height, true,
                                        PF_PixelFormat_ARGB128, world);
            }
            break;
        }
        default:
            break;
        }
        if (err != PF_Err_NONE) {
            // A failed creation leaves nothing to dispose of.
            *world = PF_LayerDef{};
        }
    }

    // Runs from the destructor, so nothing may escape; the host's result is of no use here
    // either. The suite the world came from is still held, so no acquisition can fail and leave
    // the world to the host.
    void _disposeWorld() noexcept {
        if (kind != Kind::created || !hasPixels()) {
            return;
        }
        try {
            if (m_worldSuite2 && m_worldSuite2->getError() == PF_Err_NONE) {
                (*m_worldSuite2)->PF_DisposeWorld(inData->effect_ref, world);
            } else if (m_suites) {
                m_suites->WorldSuite1()->dispose_world(inData->effect_ref, world);
            }
        } catch (...) {
        }
    }

    std::unique_ptr<PF_LayerDef> m_record;
    // The suite a created world came from, held until the world goes.
    std::optional<AEGP_SuiteHandler> m_suites;
    std::optional<ScopedSuite<PF_WorldSuite2>> m_worldSuite2;
};

Layer::Layer(PF_InData* inData, PF_OutData* outData, PF_LayerDef* world, int bpc)
    : m_impl(std::make_shared<Impl>(inData, outData, world, bpc)) {}

Layer::Layer(PF_InData* inData, PF_OutData* outData, int width, int height, int bpc)
    : m_impl(std::make_shared<Impl>(inData, outData, width, height, bpc)) {}

PF_EffectWorld* Layer::getWorld() const {
    return m_impl->world;
}
PF_Err Layer::getError() const {
    return m_impl->err;
}
int Layer::getBPC() const {
    return m_impl->bpc;
}

int Layer::getWidth() const {
    return m_impl->world != nullptr ? m_impl->world->width : 0;
}
int Layer::getHeight() const {
    return m_impl->world != nullptr ? m_impl->world->height : 0;
}
Rect Layer::getSize() const {
    return Rect(0, 0, getWidth(), getHeight());
}

Vector<int> Layer::getOrigin() const {
    const PF_EffectWorld* world = m_impl->world;
    return world != nullptr ? Vector<int>(world->origin_x, world->origin_y) : Vector<int>();
}

template <>
PixelView<PF_Pixel> Layer::getPixels<PF_Pixel>() const {
    return m_impl->view(bpc8, m_impl->pixels8);
}

template <>
PixelView<PF_Pixel16> Layer::getPixels<PF_Pixel16>() const {
    return m_impl->view(bpc16, m_impl->pixels16);
}

template <>
PixelView<PF_PixelFloat> Layer::getPixels<PF_PixelFloat>() const {
    return m_impl->view(bpc32, m_impl->pixels32);
}

void Layer::fill(const ColorFloat<float>& color) {
    Impl& d = *m_impl;
    if (d.err != PF_Err_NONE || pixelSize(d.bpc) == 0 || !d.requirePixels()) {
        return;
    }
    AEGP_SuiteHandler suites(d.inData->pica_basicP);
    const PF_FillMatteSuite2* fillMatte = suites.FillMatteSuite2();
    if (d.bpc == bpc8) {
        const PF_Pixel pixel = aePixel8(color);
        d.err = fillMatte->fill(d.inData->effect_ref, &pixel, nullptr, d.world);
    } else if (d.bpc == bpc16) {
        const PF_Pixel16 pixel = aePixel16(color);
        d.err = fillMatte->fill16(d.inData->effect_ref, &pixel, nullptr, d.world);
    } else {
        const PF_PixelFloat pixel = aePixel32(color);
        d.err = fillMatte->fill_float(d.inData->effect_ref, &pixel, nullptr, d.world);
    }
}

void Layer::copyTo(Layer& destination) {
    Impl& d = *m_impl;
    if (d.err != PF_Err_NONE || !d.requirePixels(destination.m_impl.get())) {
        return;
    }
    d.err = d.inData->utils->copy(d.inData->effect_ref, d.world, destination.m_impl->world, nullptr,
                                  nullptr);
}

void Layer::blendTo(Layer& destination, const Rect& source, const Vector<int>& position,
                    double opacity, int blendMode, bool rgbOnly) {
    // Written so that NaN counts as "not above 0" and never reaches the integer conversions.
    if (!(opacity > 0.0)) {
        return;
    }
    opacity = std::min(opacity, 1.0);

    PF_CompositeMode mode{};
    mode.xfer = static_cast<PF_TransferMode>(aeBlendMode(blendMode));
    mode.rand_seed = 0;
    mode.opacity = PixelTraits<PF_Pixel>::fromValue<Rounding::truncated>(opacity);
    mode.rgb_only = static_cast<PF_Boolean>(rgbOnly);
    mode.opacitySu = PixelTraits<PF_Pixel16>::fromValue<Rounding::truncated>(opacity);

    Impl& d = *m_impl;
    if (d.err != PF_Err_NONE || !d.requirePixels(destination.m_impl.get())) {
        return;
    }
    const PF_LRect rect = aeRect(source);
    d.err = d.inData->utils->transfer_rect(
        d.inData->effect_ref, PF_Quality_HI, PF_MF_Alpha_STRAIGHT, PF_Field_FRAME, &rect, d.world,
        &mode, nullptr, position.x, position.y, destination.m_impl->world);
}

} // namespace Ondrel
