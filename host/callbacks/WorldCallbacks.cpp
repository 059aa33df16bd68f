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

PF_Err createWorld(State& s, const char* call, A_long width, A_long height, PixelDepth depth,
                   PF_EffectWorld* world) {
    const std::string detail = describe(width, "x", height, " ", depthLabel(depth));
    if (world == nullptr) {
        return s.misuse(call, detail + ": null world record", PF_Err_BAD_CALLBACK_PARAM);
    }
    if (width < 0 || height < 0 || width > maxWorldSide || height > maxWorldSide) {
        return s.misuse(call, detail + ": size out of range", PF_Err_BAD_CALLBACK_PARAM);
    }
    if (auto code = s.fault(call, detail)) {
        *world = PF_EffectWorld{};
        return *code;
    }
    auto created = s.strict.newWorld(width, height, depth);
    *world = created->effectWorld();
    s.instance.createdWorlds.emplace(world->data,
                                     InstanceState::CreatedWorld{std::move(created), s.serial});
    s.record(call, detail, PF_Err_NONE);
    return PF_Err_NONE;
}

PF_Err destroyWorld(State& s, const char* call, PF_EffectWorld* world) {
    if (world == nullptr) {
        return s.misuse(call, "null world", PF_Err_BAD_CALLBACK_PARAM);
    }
    auto it = s.instance.createdWorlds.find(world->data);
    if (it == s.instance.createdWorlds.end()) {
        return s.misuse(call, "a world this effect did not create or already disposed",
                        PF_Err_BAD_CALLBACK_PARAM);
    }
    const World& created = *it->second.world;
    const std::string detail =
        describe(created.width(), "x", created.height(), " ", depthLabel(created.depth()));
    if (auto code = s.fault(call, detail)) {
        return *code;
    }
    s.strict.worldGoes(s.inModuleCommand(), created);
    s.instance.createdWorlds.erase(it);
    s.record(call, detail, PF_Err_NONE);
    return PF_Err_NONE;
}

template <typename Pixel>
PF_Err fillWith(const char* call, PF_ProgPtr effectRef, const Pixel* color, const PF_Rect* rect,
                PF_EffectWorld* world) {
    return withInstance(call, effectRef, [&](State& s) -> PF_Err {
        const std::string detail = describe("rect=", rectText(rect));
        const auto depth = depthOrMisuse(s, call, "world", world);
        if (!depth) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        if (*depth != World::depthOf<Pixel>()) {
            return s.misuse(call, detail + ": a " + depthLabel(*depth) + " world",
                            PF_Err_BAD_CALLBACK_PARAM);
        }
        if (color == nullptr) {
            return s.misuse(call, detail + ": null colour", PF_Err_BAD_CALLBACK_PARAM);
        }
        if (auto code = s.fault(call, detail)) {
            return *code;
        }
        const PF_Err err = fillRect(*world, rect, color, *depth);
        s.record(call, detail, err);
        return err;
    });
}

} // namespace

std::optional<PixelDepth> depthOrMisuse(State& state, const char* call, const char* role,
                                        const PF_EffectWorld* world) {
    if (world == nullptr) {
        state.misuse(call, std::string("null ") + role, PF_Err_BAD_CALLBACK_PARAM);
        return std::nullopt;
    }
    const auto depth = registeredDepth(world);
    if (!depth) {
        state.misuse(call, std::string(role) + " is not a world of this host",
                     PF_Err_BAD_CALLBACK_PARAM);
    }
    return depth;
}

namespace Callbacks {

PF_Err newWorld(PF_ProgPtr effectRef, A_long width, A_long height, PF_NewWorldFlags flags,
                PF_EffectWorld* world) {
    return withInstance("new_world", effectRef, [&](State& s) {
        const auto depth =
            (flags & PF_NewWorldFlag_DEEP_PIXELS) != 0 ? PixelDepth::Bits16 : PixelDepth::Bits8;
        return createWorld(s, "new_world", width, height, depth, world);
    });
}

PF_Err disposeWorld(PF_ProgPtr effectRef, PF_EffectWorld* world) {
    return withInstance("dispose_world", effectRef,
                        [&](State& s) { return destroyWorld(s, "dispose_world", world); });
}

PF_Err newWorldOfFormat(PF_ProgPtr effectRef, A_long width, A_long height, PF_Boolean,
                        PF_PixelFormat format, PF_EffectWorld* world) {
    return withInstance("PF_NewWorld", effectRef, [&](State& s) -> PF_Err {
        switch (format) {
        case PF_PixelFormat_ARGB32:
            return createWorld(s, "PF_NewWorld", width, height, PixelDepth::Bits8, world);
        case PF_PixelFormat_ARGB64:
            return createWorld(s, "PF_NewWorld", width, height, PixelDepth::Bits16, world);
        case PF_PixelFormat_ARGB128:
            return createWorld(s, "PF_NewWorld", width, height, PixelDepth::Float32, world);
        default:
            return s.misuse("PF_NewWorld",
                            describe("pixel format '",
                                     fourCCText(static_cast<std::uint32_t>(format)),
                                     "' is not offered"),
                            PF_Err_BAD_CALLBACK_PARAM);
        }
    });
}

PF_Err disposeWorldOfFormat(PF_ProgPtr effectRef, PF_EffectWorld* world) {
    return withInstance("PF_DisposeWorld", effectRef,
                        [&](State& s) { return destroyWorld(s, "PF_DisposeWorld", world); });
}

PF_Err getPixelFormat(const PF_EffectWorld* world, PF_PixelFormat* format) {
    return withCurrent<PF_Err>(PF_Err_BAD_CALLBACK_PARAM, [&](State& s) -> PF_Err {
        if (format == nullptr) {
            return s.misuse("PF_GetPixelFormat", "null format", PF_Err_BAD_CALLBACK_PARAM);
        }
        const auto depth = depthOrMisuse(s, "PF_GetPixelFormat", "world", world);
        if (!depth) {
            *format = PF_PixelFormat_INVALID;
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        if (auto code = s.fault("PF_GetPixelFormat", depthLabel(*depth))) {
            return *code;
        }
        *format = *depth == PixelDepth::Bits8    ? PF_PixelFormat_ARGB32
                  : *depth == PixelDepth::Bits16 ? PF_PixelFormat_ARGB64
                                                 : PF_PixelFormat_ARGB128;
        s.record("PF_GetPixelFormat", depthLabel(*depth), PF_Err_NONE);
        return PF_Err_NONE;
    });
}

PF_Err copy(PF_ProgPtr effectRef, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* srcRect,
            PF_Rect* dstRect) {
    return withInstance("copy", effectRef, [&](State& s) -> PF_Err {
        const auto srcDepth = depthOrMisuse(s, "copy", "source", src);
        const auto dstDepth = srcDepth ? depthOrMisuse(s, "copy", "destination", dst) : srcDepth;
        if (!srcDepth || !dstDepth) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        const std::string detail = describe(depthLabel(*srcDepth), " ", src->width, "x",
                                            src->height, " ", rectText(srcRect), " -> ", dst->width,
                                            "x", dst->height, " ", rectText(dstRect));
        if (*srcDepth != *dstDepth) {
            return s.misuse("copy", detail + ": worlds of different depths",
                            PF_Err_BAD_CALLBACK_PARAM);
        }
        if (auto code = s.fault("copy", detail)) {
            return *code;
        }
        const PF_Err err = copyRect(*src, *dst, srcRect, dstRect, *srcDepth);
        s.record("copy", detail, err);
        return err;
    });
}

PF_Err transferRect(PF_ProgPtr effectRef, PF_Quality quality, PF_ModeFlags modeFlags,
                    PF_Field field, const PF_Rect* srcRect, const PF_EffectWorld* src,
                    const PF_CompositeMode* mode, const PF_MaskWorld* mask, A_long dstX,
                    A_long dstY, PF_EffectWorld* dst) {
    return withInstance("transfer_rect", effectRef, [&](State& s) -> PF_Err {
        const auto srcDepth = depthOrMisuse(s, "transfer_rect", "source", src);
        const auto dstDepth =
            srcDepth ? depthOrMisuse(s, "transfer_rect", "destination", dst) : srcDepth;
        if (!srcDepth || !dstDepth) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        if (mode == nullptr) {
            return s.misuse("transfer_rect", "null composite mode", PF_Err_BAD_CALLBACK_PARAM);
        }
        const std::string detail =
            describe(depthLabel(*srcDepth), " rect=", rectText(srcRect), " at ", dstX, ",", dstY,
                     " xfer=", mode->xfer, " opacity=", static_cast<int>(mode->opacity),
                     " opacitySu=", mode->opacitySu, " rgb_only=", static_cast<int>(mode->rgb_only),
                     " quality=", quality, " flags=", modeFlags, " field=", field);
        if (*srcDepth != *dstDepth) {
            return s.misuse("transfer_rect", detail + ": worlds of different depths",
                            PF_Err_BAD_CALLBACK_PARAM);
        }
        if (mask != nullptr) {
            return s.misuse("transfer_rect", detail + ": mask worlds are not offered",
                            PF_Err_BAD_CALLBACK_PARAM);
        }
        if (auto code = s.fault("transfer_rect", detail)) {
            return *code;
        }
        const PF_Err err =
            OfflineHost::transferRect(*src, srcRect, *mode, dstX, dstY, *dst, *srcDepth);
        s.record("transfer_rect", detail, err);
        return err;
    });
}

PF_Err fill8(PF_ProgPtr effectRef, const PF_Pixel* color, const PF_Rect* rect,
             PF_EffectWorld* world) {
    return fillWith("fill", effectRef, color, rect, world);
}

PF_Err fill16(PF_ProgPtr effectRef, const PF_Pixel16* color, const PF_Rect* rect,
              PF_EffectWorld* world) {
    return fillWith("fill16", effectRef, color, rect, world);
}

PF_Err fillFloat(PF_ProgPtr effectRef, const PF_PixelFloat* color, const PF_Rect* rect,
                 PF_EffectWorld* world) {
    return fillWith("fill_float", effectRef, color, rect, world);
}

} // namespace Callbacks
} // namespace OfflineHost
