// The utility callbacks of in_data: the table, the ANSI helpers and direct pixel access.

#include "host/callbacks/CallbackSupport.h"
#include "host/callbacks/Unsupported.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace OfflineHost {
namespace {

// The C signature gives no destination size. The module formats into return_msg (256 bytes)
// or smaller fields, so at most PF_MAX_EFFECT_MSG_LEN characters and the terminator are written;
// a longer text is cut there. Returns the number of characters written.
int formatInto(Call& call, A_char* buffer, const A_char* format, va_list args) {
    if (buffer == nullptr || format == nullptr) {
        call.refuse("null buffer or format", PF_Err_BAD_CALLBACK_PARAM);
        return -1;
    }
    char text[4096];
    const int n = std::vsnprintf(text, sizeof text, format, args);
    if (n < 0) {
        buffer[0] = '\0';
        return n;
    }
    const std::size_t length = std::min<std::size_t>(std::strlen(text), PF_MAX_EFFECT_MSG_LEN);
    call.perform("", [&](std::string& detail) {
        std::memcpy(buffer, text, length);
        buffer[length] = '\0';
        // The format as it reads now: the module may have formatted over it.
        detail = describe("\"", format, "\"");
        return PF_Err_NONE;
    });
    return static_cast<int>(length);
}

// A variadic C function cannot be forwarded by an entry: its entry takes the arguments as a
// va_list.
int ansiSprintf(A_char* buffer, const A_char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = loggedWhenServed<"sprintf", &formatInto>(buffer, format, args);
    va_end(args);
    return n;
}

// The host cannot know the destination's size either; as the standard function, it copies the
// whole string. The module passes its own short literals (parameter names of at most 31
// characters).
A_char* ansiStrcpy(Call& call, A_char* destination, const A_char* source) {
    if (destination == nullptr || source == nullptr) {
        call.refuse("null destination or source", PF_Err_BAD_CALLBACK_PARAM);
        return destination;
    }
    call.perform(describe("\"", source, "\""), [&] {
        std::strcpy(destination, source);
        return PF_Err_NONE;
    });
    return destination;
}

template <typename Pixel>
PF_Err pixelData(Call& call, PF_EffectWorld* world, PF_PixelPtr pixels, Pixel** result) {
    if (result == nullptr) {
        return call.refuse("null result", PF_Err_BAD_CALLBACK_PARAM);
    }
    *result = nullptr;
    const auto depth = depthOrMisuse(call, "world", world);
    if (!depth) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (*depth != World::depthOf<Pixel>()) {
        return call.refuse("a world of another depth", PF_Err_BAD_CALLBACK_PARAM);
    }
    return call.perform("", [&] {
        *result = reinterpret_cast<Pixel*>(pixels != nullptr ? pixels : world->data);
        return PF_Err_NONE;
    });
}

PF_ANSICallbacks makeAnsi() {
    PF_ANSICallbacks a{};
    a.atan = [](A_FpLong x) { return std::atan(x); };
    a.atan2 = [](A_FpLong y, A_FpLong x) { return std::atan2(y, x); };
    a.ceil = [](A_FpLong x) { return std::ceil(x); };
    a.cos = [](A_FpLong x) { return std::cos(x); };
    a.exp = [](A_FpLong x) { return std::exp(x); };
    a.fabs = [](A_FpLong x) { return std::fabs(x); };
    a.floor = [](A_FpLong x) { return std::floor(x); };
    a.fmod = [](A_FpLong x, A_FpLong y) { return std::fmod(x, y); };
    a.hypot = [](A_FpLong x, A_FpLong y) { return std::hypot(x, y); };
    a.log = [](A_FpLong x) { return std::log(x); };
    a.log10 = [](A_FpLong x) { return std::log10(x); };
    a.pow = [](A_FpLong x, A_FpLong y) { return std::pow(x, y); };
    a.sin = [](A_FpLong x) { return std::sin(x); };
    a.sqrt = [](A_FpLong x) { return std::sqrt(x); };
    a.tan = [](A_FpLong x) { return std::tan(x); };
    a.sprintf = ansiSprintf;
    a.strcpy = loggedWhenServed<"strcpy", &ansiStrcpy>;
    a.asin = [](A_FpLong x) { return std::asin(x); };
    a.acos = [](A_FpLong x) { return std::acos(x); };
    return a;
}

PF_ColorCallbacks makeColorCallbacks() {
    PF_ColorCallbacks c{};
    c.RGBtoHLS = unsupported<"RGBtoHLS">(c.RGBtoHLS);
    c.HLStoRGB = unsupported<"HLStoRGB">(c.HLStoRGB);
    c.RGBtoYIQ = unsupported<"RGBtoYIQ">(c.RGBtoYIQ);
    c.YIQtoRGB = unsupported<"YIQtoRGB">(c.YIQtoRGB);
    c.Luminance = unsupported<"Luminance">(c.Luminance);
    c.Hue = unsupported<"Hue">(c.Hue);
    c.Lightness = unsupported<"Lightness">(c.Lightness);
    c.Saturation = unsupported<"Saturation">(c.Saturation);
    return c;
}

} // namespace

_PF_UtilCallbacks makeUtilCallbacks() {
    _PF_UtilCallbacks u{};
    u.composite_rect = unsupported<"composite_rect">(u.composite_rect);
    u.blend = unsupported<"blend">(u.blend);
    u.convolve = unsupported<"convolve">(u.convolve);
    u.copy = Entries::copy;
    u.fill = Entries::fill8;
    u.gaussian_kernel = unsupported<"gaussian_kernel">(u.gaussian_kernel);
    u.iterate = unsupported<"iterate">(u.iterate);
    u.premultiply = unsupported<"premultiply">(u.premultiply);
    u.premultiply_color = unsupported<"premultiply_color">(u.premultiply_color);
    u.new_world = Entries::newWorld;
    u.dispose_world = Entries::disposeWorld;
    u.iterate_origin = unsupported<"iterate_origin">(u.iterate_origin);
    u.iterate_lut = unsupported<"iterate_lut">(u.iterate_lut);
    u.transfer_rect = Entries::transferRect;
    u.transform_world = unsupported<"transform_world">(u.transform_world);
    u.host_new_handle = Entries::hostNewHandle;
    u.host_lock_handle = Entries::hostLockHandle;
    u.host_unlock_handle = Entries::hostUnlockHandle;
    u.host_dispose_handle = Entries::hostDisposeHandle;
    u.app = unsupported<"app">(u.app);
    u.ansi = makeAnsi();
    u.colorCB = makeColorCallbacks();
    u.host_get_handle_size = Entries::hostGetHandleSize;
    u.iterate_origin_non_clip_src =
        unsupported<"iterate_origin_non_clip_src">(u.iterate_origin_non_clip_src);
    u.iterate_generic = Entries::iterateGeneric;
    u.host_resize_handle = Entries::hostResizeHandle;
    u.fill16 = Entries::fill16;
    u.premultiply_color16 = unsupported<"premultiply_color16">(u.premultiply_color16);
    u.iterate16 = unsupported<"iterate16">(u.iterate16);
    u.iterate_origin16 = unsupported<"iterate_origin16">(u.iterate_origin16);
    u.iterate_origin_non_clip_src16 =
        unsupported<"iterate_origin_non_clip_src16">(u.iterate_origin_non_clip_src16);
    u.get_pixel_data8 = logged<"get_pixel_data8", &pixelData<PF_Pixel8>>;
    u.get_pixel_data16 = logged<"get_pixel_data16", &pixelData<PF_Pixel16>>;
    return u;
}

} // namespace OfflineHost
