// A libFuzzer target: every effect of the module rendered through the offline host in strict mode,
// every choice taken from the input bytes. It stops (and libFuzzer keeps the input) on a sanitizer
// report, on anything strict mode finds (a write outside a world, an unwritten output pixel,
// something left unbalanced), on a render that fails although the host injects no fault, and on
// a value that is not finite in a float output rendered over a finite input.
//
// The bytes are read in this order, each read giving 0 once the input is spent: the effect, the
// depth, the layer's width and height (1 upward), the downsample factors, the thread count, one
// choice per parameter (its value: the default, within the slider, the limits, an extreme or
// non-finite number, raw bits), then the seed of the layer's pixels and whether some of them are
// not finite.

#include "Shapes/OndrelEntryPoints.h"

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
#include <random>
#include <string>

namespace {

using namespace OfflineHost;

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    unsigned pick(unsigned choices) { return byte() % choices; }
    std::uint32_t word() {
        std::uint32_t w = 0;
        for (int i = 0; i < 4; ++i) {
            w = w << 8 | byte();
        }
        return w;
    }
    // Uniform in [low, high].
    double within(double low, double high) { return low + (high - low) * (word() / 4294967295.0); }
    double bits() {
        const std::uint64_t b = static_cast<std::uint64_t>(word()) << 32 | word();
        double d = 0;
        std::memcpy(&d, &b, sizeof d);
        return d;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

[[noreturn]] void stop(const std::string& what) {
    std::fprintf(stderr, "ondrel fuzz: %s\n", what.c_str());
    std::abort();
}

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
    std::mt19937 random(seed);
    auto& w = layer.effectWorld();
    for (A_long y = 0; y < w.height; ++y) {
        auto* row =
            reinterpret_cast<std::byte*>(w.data) + static_cast<std::ptrdiff_t>(y) * w.rowbytes;
        for (A_long x = 0; x < w.width; ++x) {
            switch (layer.depth()) {
            case PixelDepth::Bits8: {
                auto* p = reinterpret_cast<PF_Pixel*>(row) + x;
                *p = PF_Pixel{static_cast<A_u_char>(random()), static_cast<A_u_char>(random()),
                              static_cast<A_u_char>(random()), static_cast<A_u_char>(random())};
                if (p->alpha == 0 && p->red == 0xFE && p->green == 0x01 && p->blue == 0xFD) {
                    p->blue = 0;
                }
                break;
            }
            case PixelDepth::Bits16: {
                auto* p = reinterpret_cast<PF_Pixel16*>(row) + x;
                const auto c = [&] { return static_cast<A_u_short>(random() % 32769); };
                *p = PF_Pixel16{c(), c(), c(), c()};
                break;
            }
            case PixelDepth::Float32: {
                auto* p = reinterpret_cast<PF_PixelFloat*>(row) + x;
                std::uniform_real_distribution<float> unit(-0.5f, 1.5f);
                *p = PF_PixelFloat{unit(random), unit(random), unit(random), unit(random)};
                if (nonFinite && random() % 7 == 0) {
                    p->green = random() % 2 == 0 ? std::numeric_limits<float>::quiet_NaN()
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
    const Ondrel::EffectEntry& chosen =
        Ondrel::effectEntries[in.pick(static_cast<unsigned>(Ondrel::effectEntries.size()))];
    const char* const name = chosen.registration->name;
    Frame frame;
    frame.depth = static_cast<PixelDepth>(in.pick(3));
    frame.layerWidth = 1 + static_cast<A_long>(in.word() % 320);
    frame.layerHeight = 1 + static_cast<A_long>(in.word() % 240);
    for (PF_RationalScale* factor : {&frame.downsampleX, &frame.downsampleY}) {
        factor->den = 1 + in.pick(8);
        factor->num = 1 + static_cast<A_long>(in.pick(factor->den));
    }
    const int threads = 1 + static_cast<int>(in.pick(4));

    EffectRecords records;
    records.name = name;
    EffectInstance effect(chosen.entry, records);
    effect.setStrict(true);
    effect.setThreadCount(threads);
    try {
        if (effect.globalSetup() != PF_Err_NONE || effect.paramsSetup() != PF_Err_NONE) {
            stop(std::string(name) + ": set-up failed");
        }
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
        if (effect.globalSetdown() != PF_Err_NONE) {
            stop(std::string(name) + ": set-down failed");
        }
    } catch (const HostError& e) {
        stop(e.what());
    }
    return 0;
}
