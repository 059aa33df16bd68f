// Worlds: creation and disposal for the module, pixel formats, and the copy, transfer and fill
// callbacks, which check the worlds here and leave the pixels to Composite.h.

#include "host/callbacks/CallbackSupport.h"

#include "host/compositing/Composite.h"

namespace OfflineHost {
namespace {

// The largest world side the real host allocates.
constexpr A_long maxWorldSide = 30000;

std::string rectText(const PF_Rect* rect) {
    if (rect == nullptr) {
        return "whole";
    }
    return describe("(", rect->left, ",", rect->top, ",", rect->right, ",", rect->bottom, ")");
}

PF_Err createWorld(Call& call, A_long width, A_long height, PixelDepth depth,
                   PF_EffectWorld* world) {
    std::string detail = describe(width, "x", height, " ", depthLabel(depth));
    if (world == nullptr) {
        return call.refuse(detail + ": null world record", PF_Err_BAD_CALLBACK_PARAM);
    }
    if (width < 0 || height < 0 || width > maxWorldSide || height > maxWorldSide) {
        return call.refuse(detail + ": size out of range", PF_Err_BAD_CALLBACK_PARAM);
    }
    State& s = call.state();
    return call.perform(
        std::move(detail),
        [&] {
            auto created = s.strict.newWorld(width, height, depth);
            *world = created->effectWorld();
            s.instance.createdWorlds.emplace(
                world->data, InstanceState::CreatedWorld{std::move(created), s.serial});
            return PF_Err_NONE;
        },
        [&] { *world = PF_EffectWorld{}; });
}

} // namespace

std::optional<PixelDepth> depthOrMisuse(Call& call, const char* role, const PF_EffectWorld* world) {
    if (world == nullptr) {
        call.refuse(std::string("null ") + role, PF_Err_BAD_CALLBACK_PARAM);
        return std::nullopt;
    }
    const auto depth = registeredDepth(world);
    if (!depth) {
        call.refuse(std::string(role) + " is not a world of this host", PF_Err_BAD_CALLBACK_PARAM);
    }
    return depth;
}

namespace Callbacks {

PF_Err newWorld(Call& call, PF_ProgPtr, A_long width, A_long height, PF_NewWorldFlags flags,
                PF_EffectWorld* world) {
    const auto depth =
        (flags & PF_NewWorldFlag_DEEP_PIXELS) != 0 ? PixelDepth::Bits16 : PixelDepth::Bits8;
    return createWorld(call, width, height, depth, world);
}

PF_Err newWorldOfFormat(Call& call, PF_ProgPtr, A_long width, A_long height, PF_Boolean,
                        PF_PixelFormat format, PF_EffectWorld* world) {
    switch (format) {
    case PF_PixelFormat_ARGB32:
        return createWorld(call, width, height, PixelDepth::Bits8, world);
    case PF_PixelFormat_ARGB64:
        return createWorld(call, width, height, PixelDepth::Bits16, world);
    case PF_PixelFormat_ARGB128:
        return createWorld(call, width, height, PixelDepth::Float32, world);
    default:
        return call.refuse(describe("pixel format '",
                                    fourCCText(static_cast<std::uint32_t>(format)),
                                    "' is not offered"),
                           PF_Err_BAD_CALLBACK_PARAM);
    }
}

PF_Err disposeWorld(Call& call, PF_ProgPtr, PF_EffectWorld* world) {
    State& s = call.state();
    if (world == nullptr) {
        return call.refuse("null world", PF_Err_BAD_CALLBACK_PARAM);
    }
    auto it = s.instance.createdWorlds.find(world->data);
    if (it == s.instance.createdWorlds.end()) {
        return call.refuse("a world this effect did not create or already disposed",
                           PF_Err_BAD_CALLBACK_PARAM);
    }
    const World& created = *it->second.world;
    return call.perform(
        describe(created.width(), "x", created.height(), " ", depthLabel(created.depth())), [&] {
            s.strict.worldGoes(s.inModuleCommand(), created);
            s.instance.createdWorlds.erase(it);
            return PF_Err_NONE;
        });
}

PF_Err getPixelFormat(Call& call, const PF_EffectWorld* world, PF_PixelFormat* format) {
    if (format == nullptr) {
        return call.refuse("null format", PF_Err_BAD_CALLBACK_PARAM);
    }
    const auto depth = depthOrMisuse(call, "world", world);
    if (!depth) {
        *format = PF_PixelFormat_INVALID;
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    return call.perform(depthLabel(*depth), [&] {
        *format = *depth == PixelDepth::Bits8    ? PF_PixelFormat_ARGB32
                  : *depth == PixelDepth::Bits16 ? PF_PixelFormat_ARGB64
                                                 : PF_PixelFormat_ARGB128;
        return PF_Err_NONE;
    });
}

PF_Err copy(Call& call, PF_ProgPtr, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* srcRect,
            PF_Rect* dstRect) {
    const auto srcDepth = depthOrMisuse(call, "source", src);
    const auto dstDepth = srcDepth ? depthOrMisuse(call, "destination", dst) : srcDepth;
    if (!srcDepth || !dstDepth) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    std::string detail =
        describe(depthLabel(*srcDepth), " ", src->width, "x", src->height, " ", rectText(srcRect),
                 " -> ", dst->width, "x", dst->height, " ", rectText(dstRect));
    if (*srcDepth != *dstDepth) {
        return call.refuse(detail + ": worlds of different depths", PF_Err_BAD_CALLBACK_PARAM);
    }
    return call.perform(std::move(detail),
                        [&] { return copyRect(*src, *dst, srcRect, dstRect, *srcDepth); });
}

PF_Err transferRect(Call& call, PF_ProgPtr, PF_Quality quality, PF_ModeFlags modeFlags,
                    PF_Field field, const PF_Rect* srcRect, const PF_EffectWorld* src,
                    const PF_CompositeMode* mode, const PF_MaskWorld* mask, A_long dstX,
                    A_long dstY, PF_EffectWorld* dst) {
    const auto srcDepth = depthOrMisuse(call, "source", src);
    const auto dstDepth = srcDepth ? depthOrMisuse(call, "destination", dst) : srcDepth;
    if (!srcDepth || !dstDepth) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (mode == nullptr) {
        return call.refuse("null composite mode", PF_Err_BAD_CALLBACK_PARAM);
    }
    std::string detail =
        describe(depthLabel(*srcDepth), " rect=", rectText(srcRect), " at ", dstX, ",", dstY,
                 " xfer=", mode->xfer, " opacity=", static_cast<int>(mode->opacity),
                 " opacitySu=", mode->opacitySu, " rgb_only=", static_cast<int>(mode->rgb_only),
                 " quality=", quality, " flags=", modeFlags, " field=", field);
    if (*srcDepth != *dstDepth) {
        return call.refuse(detail + ": worlds of different depths", PF_Err_BAD_CALLBACK_PARAM);
    }
    if (mask != nullptr) {
        return call.refuse(detail + ": mask worlds are not offered", PF_Err_BAD_CALLBACK_PARAM);
    }
    return call.perform(std::move(detail), [&] {
        return OfflineHost::transferRect(*src, srcRect, *mode, dstX, dstY, *dst, *srcDepth);
    });
}

template <typename Pixel>
PF_Err fill(Call& call, PF_ProgPtr, const Pixel* color, const PF_Rect* rect,
            PF_EffectWorld* world) {
    std::string detail = describe("rect=", rectText(rect));
    const auto depth = depthOrMisuse(call, "world", world);
    if (!depth) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (*depth != World::depthOf<Pixel>()) {
        return call.refuse(detail + ": a " + depthLabel(*depth) + " world",
                           PF_Err_BAD_CALLBACK_PARAM);
    }
    if (color == nullptr) {
        return call.refuse(detail + ": null colour", PF_Err_BAD_CALLBACK_PARAM);
    }
    return call.perform(std::move(detail), [&] { return fillRect(*world, rect, color, *depth); });
}

template PF_Err fill(Call&, PF_ProgPtr, const PF_Pixel*, const PF_Rect*, PF_EffectWorld*);
template PF_Err fill(Call&, PF_ProgPtr, const PF_Pixel16*, const PF_Rect*, PF_EffectWorld*);
template PF_Err fill(Call&, PF_ProgPtr, const PF_PixelFloat*, const PF_Rect*, PF_EffectWorld*);

} // namespace Callbacks
} // namespace OfflineHost
