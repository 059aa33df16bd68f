// A libFuzzer target: every effect of the module rendered through the offline host in strict mode,
// every choice taken from the input bytes. Each effect's instance renders input after input, as the
// host application renders frame after frame, from its parameters' definitions each time. It stops
// (and libFuzzer keeps the input) on a sanitizer report, on anything strict mode finds (a write
// outside a world, an unwritten output pixel, something left unbalanced), on a render that fails
// although the host injects no fault, and on a value that is not finite in a float output rendered
// over a finite input.
//
// The bytes are read in this order, each read giving 0 once the input is spent: the effect, the
// depth, whether the layer is large, the layer's width and height (1 upward: up to 24x16, or up
// to 320x240 for a large one, one input in 64), the downsample factors, the thread count (a
// large layer only: a small one is a single band), one choice per parameter (its value: the
// default, within the slider, the limits, an extreme or non-finite number, raw bits), then the
// seed of the layer's pixels and whether some of them are not finite. Small layers keep each run
// short, so that many more inputs are tried.

#include "FuzzEffects.h"
#include "FuzzInput.h"

#include "host/instance/EffectInstance.h"
#include "host/pixels/World.h"
#include "host/system/HostError.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>

namespace {

using namespace OfflineHost;
using namespace OndrelFuzz;

// A number for a parameter: in its slider, at a limit, an extreme, raw bits, or not finite.
double numberFor(Bytes& in, double low, double high) {
    constexpr double extremes[] = {0.0,
                                   -0.0,
                                   1e-300,
                                   -1e-300,
                                   1e15,
                                   -1e15,
                                   1e300,
                                   -1e300,
                                   std::numeric_limits<double>::max(),
                                   -std::numeric_limits<double>::max(),
                                   std::numeric_limits<double>::denorm_min()};
    constexpr double nonFinite[] = {std::numeric_limits<double>::quiet_NaN(),
                                    std::numeric_limits<double>::infinity(),
                                    -std::numeric_limits<double>::infinity()};
    switch (in.pick(6)) {
    case 0:
        return in.within(low, high);
    case 1:
        return in.pick(2) == 0 ? low : high;
    case 2:
        return extremes[in.pick(std::size(extremes))];
    case 3:
        return in.bits();
    case 4:
        return nonFinite[in.pick(std::size(nonFinite))];
    default:
        return static_cast<double>(static_cast<int>(in.pick(9)) - 4);
    }
}

// Sets a number through `set`; the host refuses a number that is not finite for anything but a
// float slider (it holds 16.16 or integers), and nothing else.
template <typename Set>
void setNumber(const PF_ParamDef& def, std::initializer_list<double> values, Set set) {
    try {
        set();
    } catch (const HostError& e) {
        for (const double v : values) {
            if (!std::isfinite(v) && def.param_type != PF_Param_FLOAT_SLIDER) {
                return;
            }
        }
        stop(std::string("the host refused a value of \"") + def.name + "\": " + e.what());
    }
}

void chooseParams(EffectInstance& effect, Bytes& in) {
    for (int index = 1; index < effect.paramCount(); ++index) {
        const PF_ParamDef& def = effect.paramDef(index);
        if (in.pick(4) == 0) {
            continue; // the default
        }
        double value = 0;
        switch (def.param_type) {
        case PF_Param_FLOAT_SLIDER:
            value = numberFor(in, def.u.fs_d.slider_min, def.u.fs_d.slider_max);
            setNumber(def, {value}, [&] { effect.setValue(index, value); });
            break;
        case PF_Param_FIX_SLIDER:
            value = numberFor(in, def.u.fd.slider_min / 65536.0, def.u.fd.slider_max / 65536.0);
            setNumber(def, {value}, [&] { effect.setValue(index, value); });
            break;
        case PF_Param_ANGLE:
            value = numberFor(in, -720, 720);
            setNumber(def, {value}, [&] { effect.setValue(index, value); });
            break;
        case PF_Param_POINT: {
            const double x = numberFor(in, -100, 400);
            const double y = numberFor(in, -100, 400);
            setNumber(def, {x, y}, [&] { effect.setPoint(index, x, y); });
            break;
        }
        case PF_Param_COLOR:
            effect.setColor(index, PF_Pixel{in.byte(), in.byte(), in.byte(), in.byte()});
            break;
        case PF_Param_POPUP:
            effect.setValue(index, 1 + in.pick(static_cast<unsigned>(def.u.pd.num_choices)));
            break;
        default:
            break;
        }
    }
}

// The layer's pixels from a seed: valid channels at 8 and 16 bits (never strict mode's 8-bit
// poison, which would read as unwritten once copied), floats around the unit range, some not
// finite when asked.
void fillLayer(World& layer, std::uint32_t seed, bool nonFinite) {
    // xorshift64*: one cheap 64-bit number a pixel, enough for four channels.
    std::uint64_t state = 0x9E3779B97F4A7C15ULL ^ seed;
    const auto next = [&state] {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1DULL;
    };
    const auto channel = [](std::uint64_t bits, int c) {
        return static_cast<std::uint16_t>(bits >> (16 * c));
    };
    auto& w = layer.effectWorld();
    for (A_long y = 0; y < w.height; ++y) {
        auto* row =
            reinterpret_cast<std::byte*>(w.data) + static_cast<std::ptrdiff_t>(y) * w.rowbytes;
        for (A_long x = 0; x < w.width; ++x) {
            const std::uint64_t bits = next();
            switch (layer.depth()) {
            case PixelDepth::Bits8: {
                auto* p = reinterpret_cast<PF_Pixel*>(row) + x;
                const auto c = [&](int i) { return static_cast<A_u_char>(channel(bits, i)); };
                *p = PF_Pixel{c(0), c(1), c(2), c(3)};
                if (p->alpha == 0 && p->red == 0xFE && p->green == 0x01 && p->blue == 0xFD) {
                    p->blue = 0;
                }
                break;
            }
            case PixelDepth::Bits16: {
                auto* p = reinterpret_cast<PF_Pixel16*>(row) + x;
                const auto c = [&](int i) {
                    return static_cast<A_u_short>(channel(bits, i) % 32769);
                };
                *p = PF_Pixel16{c(0), c(1), c(2), c(3)};
                break;
            }
            case PixelDepth::Float32: {
                auto* p = reinterpret_cast<PF_PixelFloat*>(row) + x;
                const auto c = [&](int i) { return -0.5f + 2.0f * channel(bits, i) / 65535.0f; };
                *p = PF_PixelFloat{c(0), c(1), c(2), c(3)};
                if (nonFinite && bits % 7 == 0) {
                    p->green = bits % 2 == 0 ? std::numeric_limits<float>::quiet_NaN()
                                             : std::numeric_limits<float>::infinity();
                }
                break;
            }
            }
        }
    }
}

void expectFinite(const World& output) {
    const auto& w = output.effectWorld();
    for (A_long y = 0; y < w.height; ++y) {
        const auto* row =
            reinterpret_cast<const PF_PixelFloat*>(reinterpret_cast<const std::byte*>(w.data) +
                                                   static_cast<std::ptrdiff_t>(y) * w.rowbytes);
        for (A_long x = 0; x < w.width; ++x) {
            const PF_PixelFloat& p = row[x];
            if (!std::isfinite(p.alpha) || !std::isfinite(p.red) || !std::isfinite(p.green) ||
                !std::isfinite(p.blue)) {
                stop("a float output pixel that is not finite over a finite input, at (" +
                     std::to_string(x) + ", " + std::to_string(y) + ")");
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    const Ondrel::EffectEntry& chosen = pickEffect(in);
    const char* const name = chosen.registration->name;
    Frame frame;
    frame.depth = static_cast<PixelDepth>(in.pick(3));
    const bool large = in.pick(64) == 63;
    frame.layerWidth = 1 + static_cast<A_long>(in.word() % (large ? 320 : 24));
    frame.layerHeight = 1 + static_cast<A_long>(in.word() % (large ? 240 : 16));
    for (PF_RationalScale* factor : {&frame.downsampleX, &frame.downsampleY}) {
        factor->den = 1 + in.pick(8);
        factor->num = 1 + static_cast<A_long>(in.pick(factor->den));
    }
    const int threads = large ? 1 + static_cast<int>(in.pick(4)) : 1;

    EffectInstance& effect = keptInstance(chosen);
    effect.setStrict(true);
    effect.setThreadCount(threads);
    try {
        chooseParams(effect, in);
        World layer(frame.layerWidth, frame.layerHeight, frame.depth);
        const std::uint32_t seed = in.word();
        const bool nonFinite = in.pick(8) == 0;
        fillLayer(layer, seed, nonFinite);
        World output(1, 1, frame.depth);
        if (const PF_Err err = effect.renderFrame(frame, layer, output)) {
            stop(std::string(name) + ": render failed with error " + std::to_string(err));
        }
        if (frame.depth == PixelDepth::Float32 && !nonFinite) {
            expectFinite(output);
        }
    } catch (const HostError& e) {
        stop(e.what());
    }
    return 0;
}
