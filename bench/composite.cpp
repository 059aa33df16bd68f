// Transfer-mode compositing of one UHD frame onto another, per mode and depth.

#include "host/Composite.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

constexpr A_long frameWidth = 3840;
constexpr A_long frameHeight = 2160;

// A frame of varied colours and alphas (alpha from a quarter to full), the same on every run.
template <typename Pixel>
class Frame {
public:
    explicit Frame(std::uint32_t seed)
        : _pixels(static_cast<std::size_t>(frameWidth) * frameHeight) {
        std::uint32_t state = seed;
        const auto next = [&state] {
            state = state * 1664525u + 1013904223u;
            return static_cast<float>(state >> 8) * (1.0f / 16777216.0f);
        };
        for (Pixel& p : _pixels) {
            const float a = 0.25f + 0.75f * next();
            p = _pixel(a, next(), next(), next());
        }
        world.data = reinterpret_cast<PF_PixelPtr>(_pixels.data());
        world.rowbytes = frameWidth * static_cast<A_long>(sizeof(Pixel));
        world.width = frameWidth;
        world.height = frameHeight;
    }

    PF_EffectWorld world{};

private:
    static Pixel _pixel(float a, float r, float g, float b) {
        if constexpr (sizeof(Pixel) == sizeof(PF_Pixel)) {
            const auto c = [](float v) { return static_cast<A_u_char>(v * 255.0f); };
            return Pixel{c(a), c(r), c(g), c(b)};
        } else {
            return Pixel{a, r, g, b};
        }
    }

    std::vector<Pixel> _pixels;
};

template <typename Pixel>
void compositeFrame(benchmark::State& state, PF_TransferMode xfer, OfflineHost::PixelDepth depth) {
    const Frame<Pixel> src(1);
    Frame<Pixel> dst(2);
    PF_CompositeMode mode{};
    mode.xfer = xfer;
    mode.opacity = 230;
    mode.opacitySu = 29000;
    for (auto _ : state) {
        const PF_Err err =
            OfflineHost::transferRect(src.world, nullptr, mode, 0, 0, dst.world, depth);
        benchmark::DoNotOptimize(err);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frameWidth * frameHeight);
}

void floatInFront(benchmark::State& state) {
    compositeFrame<PF_PixelFloat>(state, PF_Xfer_IN_FRONT, OfflineHost::PixelDepth::Float32);
}
void floatMultiply(benchmark::State& state) {
    compositeFrame<PF_PixelFloat>(state, PF_Xfer_MULTIPLY, OfflineHost::PixelDepth::Float32);
}
void floatHue(benchmark::State& state) {
    compositeFrame<PF_PixelFloat>(state, PF_Xfer_HUE, OfflineHost::PixelDepth::Float32);
}
void eightBitInFront(benchmark::State& state) {
    compositeFrame<PF_Pixel>(state, PF_Xfer_IN_FRONT, OfflineHost::PixelDepth::Bits8);
}

} // namespace

BENCHMARK(floatInFront)->Unit(benchmark::kMillisecond);
BENCHMARK(floatMultiply)->Unit(benchmark::kMillisecond);
BENCHMARK(floatHue)->Unit(benchmark::kMillisecond);
BENCHMARK(eightBitInFront)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
