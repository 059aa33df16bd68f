// Drawing alone: each case's drawer renders its shape into a scratch layer the size of the shape's
// region, beside Cairo and AGG drawing the same shape into a surface of that size, at 1920x1080
// and 3840x2160 and at 8, 16 and 32 bits (Cairo has 8 bits only), and, when the benchmark is built
// with it, Blend2D drawing it onto the whole frame at 8 bits. Clearing is not timed: each
// iteration draws over the last one, as an application's surface would be drawn over. Then the
// drawer through the offline host's iterate suite on 1, 2, 4, ... threads, up to the machine's,
// and its 16 bands drawn in turn on one thread.
//
// Prints one table per depth (ns per region pixel, ratios to the yardsticks from the same run)
// and a table of the speed-up over one thread. Without other flags each benchmark is repeated three
// times in a shuffled order and the median is shown; Google Benchmark's flags (--benchmark_filter,
// --benchmark_repetitions, --benchmark_out=file.json for every run) still apply.

#include "bench/drawing/Cases.h"
#include "bench/drawing/Tables.h"
#include "bench/drawing/Yardsticks.h"

#include "Ondrel/Filter/OndrelDrawTarget.h"
#include "Ondrel/Filter/OndrelIterateFilter.h"
#include "Ondrel/OndrelLayer.h"
#include "Ondrel/OndrelPixelTraits.h"
#include "host/instance/EffectInstance.h"
#include "host/pixels/PixelDepth.h"
#include "host/pixels/PixelTraits.h"
#include "host/pixels/World.h"

#include <benchmark/benchmark.h>

#ifdef ONDREL_BENCH_BLEND2D
#include "bench/drawing/Blend2DCanvas.h"
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace DrawingBench {
namespace {

using OfflineHost::PixelDepth;

// A depth as the host and the module name it, the module's code taken from its pixel type.
struct Depth {
    int bits;
    int bpc;
    PixelDepth host;
};

const std::vector<Depth> depths = [] {
    std::vector<Depth> all;
    for (const PixelDepth depth : OfflineHost::pixelDepths) {
        int bpc = 0;
        OfflineHost::withPixelType(depth, [&bpc](auto pixel) {
            bpc = Ondrel::PixelTraits<decltype(pixel)>::bpc;
            return PF_Err_NONE;
        });
        all.push_back({OfflineHost::bitsPerChannel(depth), bpc, depth});
    }
    return all;
}();

// Calls use(drawer) with the module's drawer for the case.
template <typename Use>
void withDrawer(const Case& c, Use&& use) {
    switch (c.kind) {
    case ShapeKind::circle:
        use(Ondrel::CircleDrawer(circleParameter(c)));
        return;
    case ShapeKind::line:
        use(Ondrel::LineDrawer(lineParameter(c)));
        return;
    case ShapeKind::rectangle:
        use(Ondrel::RectangleDrawer(rectangleParameter(c)));
        return;
    case ShapeKind::triangle:
        use(Ondrel::TriangleDrawer(triangleParameter(c)));
        return;
    }
}

// The host's input layer of the frame: its size and depth are all a drawer reads of it.
struct InputLayer {
    PF_LayerDef record{};
    Ondrel::Layer layer;

    InputLayer(PF_InData* in, PF_OutData* out, const FrameSize& frame, int bpc)
        : layer(in, out, &record, bpc) {
        record.width = frame.width;
        record.height = frame.height;
    }
};

// The region the case's shape can touch in the frame.
Ondrel::Rect regionOf(const Case& c, const FrameSize& frame) {
    InputLayer input(nullptr, nullptr, frame, Ondrel::bpc8);
    Ondrel::Rect region;
    withDrawer(c, [&](auto drawer) { region = drawer.calcRegion(input.layer); });
    return region;
}

void countPixels(benchmark::State& state, const Ondrel::Rect& region) {
    state.counters["pixels"] = static_cast<double>(region.getWidth()) * region.getHeight();
}

// threads 0: the drawer's execute on this thread for each of `bands` bands in turn, nothing else;
// otherwise IterateFilter with that many host threads.
void drawWithModule(benchmark::State& state, const Case& c, const FrameSize& frame,
                    const Depth& depth, int threads, int bands) {
    OfflineHost::EffectInstance host(nullptr);
    host.setThreadCount(std::max(threads, 1));
    auto context = host.context();
    InputLayer input(context.in(), context.out(), frame, depth.bpc);
    withDrawer(c, [&](auto drawer) {
        const Ondrel::Rect region = drawer.calcRegion(input.layer);
        OfflineHost::World storage(region.getWidth(), region.getHeight(), depth.host);
        Ondrel::Layer scratch(context.in(), context.out(), &storage.effectWorld(), depth.bpc);
        int calls = 0;
        for (auto _ : state) {
            if (threads == 0) {
                for (int band = 0; band < bands; ++band) {
                    drawer.execute("draw", input.layer, scratch, band, bands);
                }
            } else {
                const PF_Err err =
                    Ondrel::IterateFilter(context.in(), "draw", input.layer, scratch, drawer);
                benchmark::DoNotOptimize(err);
                // The host logs every call; a render empties the log once a frame, and a log
                // that grew for the whole run would be timed instead of the drawing.
                if (++calls % 256 == 0) {
                    host.diagnostics().clearCalls();
                }
            }
            benchmark::ClobberMemory();
        }
        countPixels(state, region);
    });
    host.diagnostics().clearCalls();
}

void drawWithCairo(benchmark::State& state, const Case& c, const FrameSize& frame) {
    const Ondrel::Rect region = regionOf(c, frame);
    CairoCanvas canvas(region.getWidth(), region.getHeight());
    const std::vector<Point> outline = outlineIn(c, region.left, region.top);
    for (auto _ : state) {
        canvas.draw(c, outline);
        benchmark::ClobberMemory();
    }
    countPixels(state, region);
}

template <typename PixelFormat>
void drawWithAgg(benchmark::State& state, const Case& c, const FrameSize& frame) {
    const Ondrel::Rect region = regionOf(c, frame);
    AggCanvas<PixelFormat> canvas(region.getWidth(), region.getHeight());
    const std::vector<Point> outline = outlineIn(c, region.left, region.top);
    for (auto _ : state) {
        canvas.draw(c, outline);
        benchmark::ClobberMemory();
    }
    countPixels(state, region);
}

#ifdef ONDREL_BENCH_BLEND2D
// Counted by the same region as the others, so that the ratios compare the same shape.
void drawWithBlend2D(benchmark::State& state, const Case& c, const FrameSize& frame) {
    Blend2DCanvas canvas(frame.width, frame.height);
    const std::vector<Point> outline = outlineIn(c, 0, 0);
    for (auto _ : state) {
        canvas.draw(c, outline);
        benchmark::ClobberMemory();
    }
    countPixels(state, regionOf(c, frame));
}
#endif

void registerBenchmarks() {
    const auto name = [](const char* drawer, int bits, const FrameSize& frame, const Case& c) {
        return std::string(drawer) + "/" + std::to_string(bits) + "/" + frame.name + "/" + c.id;
    };
    for (const FrameSize& frame : frameSizes) {
        for (const Case& c : casesFor(frame)) {
            for (const Depth& depth : depths) {
                benchmark::RegisterBenchmark(name("ours", depth.bits, frame, c).c_str(),
                                             drawWithModule, c, frame, depth, 0, 1);
            }
            benchmark::RegisterBenchmark(name("cairo", 8, frame, c).c_str(), drawWithCairo, c,
                                         frame);
            benchmark::RegisterBenchmark(name("agg", 8, frame, c).c_str(),
                                         drawWithAgg<agg::pixfmt_argb32>, c, frame);
            benchmark::RegisterBenchmark(name("agg", 16, frame, c).c_str(),
                                         drawWithAgg<agg::pixfmt_argb64>, c, frame);
            benchmark::RegisterBenchmark(name("agg", 32, frame, c).c_str(),
                                         drawWithAgg<agg::pixfmt_argb128>, c, frame);
#ifdef ONDREL_BENCH_BLEND2D
            benchmark::RegisterBenchmark(name("blend2d", 8, frame, c).c_str(), drawWithBlend2D, c,
                                         frame);
#endif
        }
    }
    // More threads against one, on the 1080p frame; and the 16 bands of a call on 16 threads
    // drawn in turn on this thread, as a call does whose workers are all slow to come.
    for (const Case& c : casesFor(frameSizes.front())) {
        for (const Depth& depth : depths) {
            for (int threads : BenchCommon::threadCounts()) {
                const std::string drawer = "threads" + std::to_string(threads);
                benchmark::RegisterBenchmark(
                    name(drawer.c_str(), depth.bits, frameSizes.front(), c).c_str(), drawWithModule,
                    c, frameSizes.front(), depth, threads, 1)
                    ->UseRealTime();
            }
            benchmark::RegisterBenchmark(name("bands16", depth.bits, frameSizes.front(), c).c_str(),
                                         drawWithModule, c, frameSizes.front(), depth, 0, 16);
        }
    }
}

} // namespace
} // namespace DrawingBench

int main(int argc, char** argv) {
    using namespace DrawingBench;
    // ONDREL_DRAW_TARGET=baseline draws without the AVX2 code where the processor has AVX2.
    if (const char* target = std::getenv("ONDREL_DRAW_TARGET")) {
        const std::map<std::string, Ondrel::DrawTarget> targets{
            {"baseline", Ondrel::DrawTarget::baseline}, {"avx2", Ondrel::DrawTarget::avx2}};
        const auto found = targets.find(target);
        if (found == targets.end()) {
            std::fprintf(stderr, "ONDREL_DRAW_TARGET: no target \"%s\"\n", target);
            return 2;
        }
        Ondrel::limitDrawTarget(found->second);
    }
    std::vector<std::string> order;
    std::map<std::string, std::string> names;
    for (const Case& c : casesFor(frameSizes.front())) {
        order.push_back(c.id);
        names[c.id] = c.description;
    }
    TableReporter reporter(order, names);
    return BenchCommon::runBenchmarks(argc, argv, registerBenchmarks, reporter);
}
