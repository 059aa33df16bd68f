// The offline host around the module, one thread, against yardsticks measured in the same process.
//
// - A whole frame through EffectInstance::renderFrame and the smart render alone, for the drawing
//   cases (circle r 100 and r 500, circle r 500 with a 20 px stroke, a 20 px line with butt and
//   with round caps, the rectangle over 25 % to 75 % of the frame, the triangle (50 %, 25 %)
//   (25 %, 75 %) (75 %, 75 %)) at 1920x1080 and 3840x2160 and three depths, and the large circle
//   at two downsamples; beside memcpy of the frame and the fused floor: one pass that copies the
//   frame and composites a constant scratch of the shape's bounding box on the way, with no
//   coverage maths.
// - The host's compositing primitives: transfer_rect of a drawn circle and of a region of varied
//   alphas onto a frame, for "Normal", "Multiply", "Screen" and "Add", against a straight
//   vectorised source-over of the same pixels; copy of a whole frame against memcpy; fill of a
//   whole frame against memset.
// - The worker pool running the same work on 1, 2, 4, ... threads up to the machine's, in a large
//   call and in a small one (wall-clock time).
//
// Each benchmark is repeated three times in a shuffled order and the tables show the median;
// Google Benchmark's flags (--benchmark_filter, --benchmark_repetitions, ...) still apply.

#include "bench/host/Report.h"
#include "bench/host/Yardsticks.h"

#include "Shapes/OndrelRegistration.h"
#include "host/compositing/Composite.h"
#include "host/instance/EffectInstance.h"
#include "host/pixels/PixelDepth.h"
#include "host/pixels/World.h"
#include "host/pixels/WorldRows.h"
#include "host/system/WorkerPool.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace HostBench {
namespace {

using OfflineHost::EffectInstance;
using OfflineHost::PixelDepth;
using OfflineHost::World;
namespace Registration = Ondrel::Registration;

struct FrameSize {
    const char* name;
    A_long width;
    A_long height;
};

const std::vector<FrameSize> frameSizes{{"1080p", 1920, 1080}, {"4K", 3840, 2160}};

struct Depth {
    int bits;
    PixelDepth host;
};

const std::vector<Depth> depths = [] {
    std::vector<Depth> all;
    for (const PixelDepth depth : OfflineHost::pixelDepths) {
        all.push_back({OfflineHost::bitsPerChannel(depth), depth});
    }
    return all;
}();

// One shape: an effect with some parameters changed from their defaults (popups by item number).
struct Shape {
    const char* id;
    const char* description;
    const char* effect;
    std::vector<std::pair<const char*, double>> values;
};

const std::vector<Shape> shapes{
    {"a", "circle r 100", Registration::circle.name, {{"Radius", 100}}},
    {"b", "circle r 500", Registration::circle.name, {{"Radius", 500}}},
    {"c",
     "circle r 500, stroke 20",
     Registration::circle.name,
     {{"Radius", 500}, {"Mode", 3}, {"Stroke Width", 20}}},
    {"d1", "line 20, butt", Registration::line.name, {{"Thickness", 20}, {"Cap", 1}}},
    {"d2", "line 20, round", Registration::line.name, {{"Thickness", 20}, {"Cap", 2}}},
    {"e", "rectangle 25-75 %", Registration::rectangle.name, {}},
    {"f", "triangle", Registration::triangle.name, {}},
};

// A downsample as the user gives it: X[:Y], both factors whole numbers.
struct Downsample {
    const char* name; // "" at full resolution
    A_long x;
    A_long y;
};

const Downsample fullResolution{"", 1, 1};
const std::vector<Downsample> downsamples{fullResolution, {"2", 2, 2}, {"3:1", 3, 1}};
const char* const downsampledShape = "c";

std::shared_ptr<const OfflineHost::Module> module() {
    static const auto loaded = std::make_shared<const OfflineHost::Module>(ONDREL_MODULE_PATH);
    return loaded;
}

// f(pixel) with a pixel of the depth's type.
template <typename F>
void forPixelType(PixelDepth depth, F&& f) {
    OfflineHost::withPixelType(depth, [&](auto pixel) {
        f(pixel);
        return PF_Err_NONE;
    });
}

template <typename Pixel>
Pixel unitPixel(float a, float r, float g, float b) {
    return OfflineHost::unitPixel<Pixel, OfflineHost::Conversion::Vectorised>(a, r, g, b);
}

// An opaque frame of smooth colours, as footage would be.
World gradient(A_long width, A_long height, PixelDepth depth) {
    World world(width, height, depth);
    forPixelType(depth, [&](auto pixel) {
        using Pixel = decltype(pixel);
        for (A_long y = 0; y < height; ++y) {
            for (A_long x = 0; x < width; ++x) {
                const float u = static_cast<float>(x) / static_cast<float>(width);
                const float v = static_cast<float>(y) / static_cast<float>(height);
                world.at<Pixel>(x, y) = unitPixel<Pixel>(1.0f, u, v, 0.5f * (u + v));
            }
        }
    });
    return world;
}

Rows rowsOf(World& world) {
    return {reinterpret_cast<std::byte*>(world.effectWorld().data),
            static_cast<std::size_t>(world.rowBytes())};
}

std::size_t frameBytes(const World& world) {
    return static_cast<std::size_t>(world.rowBytes()) * static_cast<std::size_t>(world.height());
}

OfflineHost::Frame frameOf(const FrameSize& size, const Depth& depth, const Downsample& ds) {
    OfflineHost::Frame frame;
    frame.layerWidth = size.width;
    frame.layerHeight = size.height;
    frame.depth = depth.host;
    frame.downsampleX = {1, static_cast<A_u_long>(ds.x)};
    frame.downsampleY = {1, static_cast<A_u_long>(ds.y)};
    return frame;
}

// The shape's effect, set up, on one thread.
std::unique_ptr<EffectInstance> effectFor(const Shape& shape, double blendingMode = 3) {
    auto effect = std::make_unique<EffectInstance>(module(), shape.effect);
    effect->setThreadCount(1);
    effect->globalSetup();
    effect->paramsSetup();
    for (const auto& [name, value] : shape.values) {
        effect->setValue(effect->findParam(name), value);
    }
    effect->setValue(effect->findParam("Blending Mode"), blendingMode);
    return effect;
}

// The frame the shape touches: its pixels drawn alone ("None") at 8 bits, and their bounding box.
struct Drawn {
    World pixels{0, 0, PixelDepth::Bits8};
    Box box;
};

Drawn drawnAlone(const Shape& shape, const FrameSize& size, const Downsample& ds) {
    const Depth eight{8, PixelDepth::Bits8};
    const World layer = gradient(size.width, size.height, eight.host);
    Drawn drawn;
    effectFor(shape, 1)->renderFrame(frameOf(size, eight, ds), layer, drawn.pixels);
    Box box{drawn.pixels.width(), drawn.pixels.height(), 0, 0};
    for (A_long y = 0; y < drawn.pixels.height(); ++y) {
        for (A_long x = 0; x < drawn.pixels.width(); ++x) {
            if (drawn.pixels.at<PF_Pixel>(x, y).alpha != 0) {
                box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                       std::max(box.bottom, y + 1)};
            }
        }
    }
    drawn.box = box.width() > 0 ? box : Box{};
    return drawn;
}

void check(benchmark::State& state, PF_Err err) {
    if (err != PF_Err_NONE) {
        state.SkipWithError(("error " + std::to_string(err)).c_str());
    }
}

// ---- A whole frame.

void renderFrame(benchmark::State& state, const Shape& shape, const FrameSize& size,
                 const Depth& depth, const Downsample& ds) {
    const auto effect = effectFor(shape);
    const World layer = gradient(size.width, size.height, depth.host);
    World output(0, 0, depth.host);
    const OfflineHost::Frame frame = frameOf(size, depth, ds);
    // The first frame makes the worlds that the following ones reuse.
    check(state, effect->renderFrame(frame, layer, output));
    for (auto _ : state) {
        check(state, effect->renderFrame(frame, layer, output));
        benchmark::ClobberMemory();
    }
}

void smartRender(benchmark::State& state, const Shape& shape, const FrameSize& size,
                 const Depth& depth, const Downsample& ds) {
    const auto effect = effectFor(shape);
    const OfflineHost::Frame frame = frameOf(size, depth, ds);
    World input = gradient(frame.scaledWidth(), frame.scaledHeight(), depth.host);
    World output(frame.scaledWidth(), frame.scaledHeight(), depth.host);
    check(state, effect->smartRender(frame, input, output));
    for (auto _ : state) {
        check(state, effect->smartRender(frame, input, output));
        benchmark::ClobberMemory();
    }
}

void fusedFloorFrame(benchmark::State& state, const Shape& shape, const FrameSize& size,
                     const Depth& depth, const Downsample& ds) {
    const Box box = drawnAlone(shape, size, ds).box;
    const OfflineHost::Frame frame = frameOf(size, depth, ds);
    World input = gradient(frame.scaledWidth(), frame.scaledHeight(), depth.host);
    World output(frame.scaledWidth(), frame.scaledHeight(), depth.host);
    World scratch(box.width(), box.height(), depth.host);
    forPixelType(depth.host, [&](auto pixel) {
        using Pixel = decltype(pixel);
        for (A_long y = 0; y < box.height(); ++y) {
            std::fill_n(&scratch.at<Pixel>(0, y), box.width(),
                        unitPixel<Pixel>(1.0f, 1.0f, 0.0f, 0.0f));
        }
        for (auto _ : state) {
            fusedFloor<Pixel>(rowsOf(input), rowsOf(output), input.width(), input.height(), box,
                              rowsOf(scratch));
            benchmark::ClobberMemory();
        }
    });
}

void copyWithMemcpy(benchmark::State& state, A_long width, A_long height, const Depth& depth) {
    World input = gradient(width, height, depth.host);
    World output(width, height, depth.host);
    for (auto _ : state) {
        std::memcpy(output.effectWorld().data, input.effectWorld().data, frameBytes(input));
        benchmark::ClobberMemory();
    }
}

// ---- The compositing primitives.

// The region transfer_rect composites: the large circle with its stroke as drawn (opaque inside,
// transparent around, ramps at the edges), or varied alphas with none transparent or opaque.
World regionPixels(const std::string& data, const Depth& depth) {
    const Drawn drawn = drawnAlone(shapes[2], frameSizes[0], fullResolution);
    const Box& box = drawn.box;
    World region(box.width(), box.height(), depth.host);
    std::uint32_t state = 1;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) * (1.0f / 16777216.0f);
    };
    forPixelType(depth.host, [&](auto pixel) {
        using Pixel = decltype(pixel);
        for (A_long y = 0; y < box.height(); ++y) {
            for (A_long x = 0; x < box.width(); ++x) {
                const PF_Pixel p = drawn.pixels.at<PF_Pixel>(box.left + x, box.top + y);
                const auto unit = [](A_u_char c) {
                    return OfflineHost::PixelTraits<PF_Pixel>::unit(c);
                };
                region.at<Pixel>(x, y) =
                    data == "circle"
                        ? unitPixel<Pixel>(unit(p.alpha), unit(p.red), unit(p.green), unit(p.blue))
                        : unitPixel<Pixel>(0.05f + 0.9f * next(), next(), next(), next());
            }
        }
    });
    return region;
}

// Composites the region onto the middle of a 1080p frame, which is restored between iterations
// (untimed) so that repeated compositing cannot drift towards denormal or overbright values.
template <typename Composite>
void compositeRegion(benchmark::State& state, const std::string& data, const Depth& depth,
                     Composite&& composite) {
    World region = regionPixels(data, depth);
    const World original = gradient(frameSizes[0].width, frameSizes[0].height, depth.host);
    World frame = gradient(frameSizes[0].width, frameSizes[0].height, depth.host);
    const A_long x = (frame.width() - region.width()) / 2;
    const A_long y = (frame.height() - region.height()) / 2;
    for (auto _ : state) {
        composite(region, frame, x, y);
        benchmark::ClobberMemory();
        state.PauseTiming();
        std::memcpy(frame.effectWorld().data, original.effectWorld().data, frameBytes(frame));
        state.ResumeTiming();
    }
}

void transferRect(benchmark::State& state, const std::string& data, const Depth& depth,
                  PF_TransferMode xfer) {
    PF_CompositeMode mode{};
    mode.xfer = xfer;
    mode.opacity = 255;
    mode.opacitySu = 32768;
    compositeRegion(state, data, depth, [&](World& region, World& frame, A_long x, A_long y) {
        check(state, OfflineHost::transferRect(region.effectWorld(), nullptr, mode, x, y,
                                               frame.effectWorld(), depth.host));
    });
}

void straightOver(benchmark::State& state, const std::string& data, const Depth& depth) {
    compositeRegion(state, data, depth, [&](World& region, World& frame, A_long x, A_long y) {
        forPixelType(depth.host, [&](auto pixel) {
            using Pixel = decltype(pixel);
            for (A_long row = 0; row < region.height(); ++row) {
                sourceOver(&region.at<Pixel>(0, row), &frame.at<Pixel>(x, y + row),
                           static_cast<std::size_t>(region.width()));
            }
        });
    });
}

void copyRect(benchmark::State& state, const Depth& depth) {
    World input = gradient(frameSizes[0].width, frameSizes[0].height, depth.host);
    World output(input.width(), input.height(), depth.host);
    for (auto _ : state) {
        check(state, OfflineHost::copyRect(input.effectWorld(), output.effectWorld(), nullptr,
                                           nullptr, depth.host));
        benchmark::ClobberMemory();
    }
}

void fillRect(benchmark::State& state, const Depth& depth, bool clear) {
    World output(frameSizes[0].width, frameSizes[0].height, depth.host);
    forPixelType(depth.host, [&](auto pixel) {
        using Pixel = decltype(pixel);
        const Pixel colour = clear ? Pixel{} : unitPixel<Pixel>(1.0f, 0.25f, 0.5f, 0.75f);
        for (auto _ : state) {
            check(state, OfflineHost::fillRect(output.effectWorld(), nullptr, &colour, depth.host));
            benchmark::ClobberMemory();
        }
    });
}

void fillWithMemset(benchmark::State& state, const Depth& depth) {
    World output(frameSizes[0].width, frameSizes[0].height, depth.host);
    for (auto _ : state) {
        std::memset(output.effectWorld().data, 0, frameBytes(output));
        benchmark::ClobberMemory();
    }
}

// ---- The worker pool: the same arithmetic, cut into as many parts as there are threads. A large
// call (16.8 million steps) shows how the pool scales; a small one (4096 steps, a few microseconds,
// as long as a short line takes to draw) shows what handing work out costs.

void pool(benchmark::State& state, int threads, int work) {
    OfflineHost::WorkerPool workers(threads);
    std::vector<float> sums(static_cast<std::size_t>(threads));
    for (auto _ : state) {
        workers.run(threads, [&](int, int part) {
            float sum = 0.0f;
            for (int i = part; i < work; i += threads) {
                sum = sum * 0.999f + static_cast<float>(i & 255);
            }
            sums[static_cast<std::size_t>(part)] = sum;
            return 0;
        });
        benchmark::DoNotOptimize(sums.data());
    }
}

// ---- Registration and tables.

std::string frameKey(int bits, const FrameSize& size, const std::string& caseId) {
    return std::to_string(bits) + "/" + size.name + "/" + caseId;
}

std::string caseId(const Shape& shape, const Downsample& ds) {
    return std::string(shape.id) + (ds.name[0] != '\0' ? std::string("@") + ds.name : "");
}

const std::vector<std::pair<const char*, PF_TransferMode>> transferModes{
    {"Normal", PF_Xfer_IN_FRONT},
    {"Multiply", PF_Xfer_MULTIPLY},
    {"Screen", PF_Xfer_SCREEN},
    {"Add", PF_Xfer_ADD}};

const std::vector<std::string> regionData{"circle", "random"};

const std::vector<std::pair<const char*, int>> poolCalls{{"large", 1 << 24}, {"small", 1 << 12}};

void registerBenchmarks() {
    // Every effect of the module is measured: a new one needs its shape above.
    for (const auto& effect : Registration::effects) {
        if (std::none_of(shapes.begin(), shapes.end(), [&](const Shape& shape) {
                return std::string_view(shape.effect) == effect.name;
            })) {
            throw std::runtime_error(std::string("no shape above draws ") + effect.name);
        }
    }
    const auto add = [](const std::string& name, auto&&... args) {
        return benchmark::RegisterBenchmark(name.c_str(), args...)
            ->Unit(benchmark::kMillisecond)
            ->MeasureProcessCPUTime();
    };
    for (const FrameSize& size : frameSizes) {
        for (const Depth& depth : depths) {
            for (const Downsample& ds : downsamples) {
                for (const Shape& shape : shapes) {
                    if (ds.name[0] != '\0' && shape.id != std::string(downsampledShape)) {
                        continue;
                    }
                    const std::string key = frameKey(depth.bits, size, caseId(shape, ds));
                    add("render/" + key, renderFrame, shape, size, depth, ds);
                    add("smart/" + key, smartRender, shape, size, depth, ds);
                    add("floor/" + key, fusedFloorFrame, shape, size, depth, ds);
                }
                const OfflineHost::Frame frame = frameOf(size, depth, ds);
                add("memcpy/" + frameKey(depth.bits, size, ds.name), copyWithMemcpy,
                    frame.scaledWidth(), frame.scaledHeight(), depth);
            }
        }
    }
    for (const Depth& depth : depths) {
        for (const std::string& data : regionData) {
            const std::string key = std::to_string(depth.bits) + "/" + data;
            add("over/" + key, straightOver, data, depth);
            for (const auto& [name, xfer] : transferModes) {
                add(std::string("transfer/") + key + "/" + name, transferRect, data, depth, xfer);
            }
        }
        const std::string bits = std::to_string(depth.bits);
        add("copy/" + bits, copyRect, depth);
        add("memcpy/" + bits, copyWithMemcpy, frameSizes[0].width, frameSizes[0].height, depth);
        add("fill/" + bits + "/clear", fillRect, depth, true);
        add("fill/" + bits + "/colour", fillRect, depth, false);
        add("memset/" + bits, fillWithMemset, depth);
    }
    for (int threads : BenchCommon::threadCounts()) {
        for (const auto& [size, work] : poolCalls) {
            benchmark::RegisterBenchmark(
                ("pool/" + std::string(size) + "/" + std::to_string(threads)).c_str(), pool,
                threads, work)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
}

void printTables(const Report::Lookup& ms) {
    const auto n = [](double v, const char* format = "%.2f") {
        return BenchCommon::number(v, format);
    };
    std::printf("\nA whole frame, one thread: ms, and ratios of renderFrame (render) and of the "
                "smart render alone (smart)\nto the fused floor and to memcpy of the frame\n");
    std::printf("%-8s %-24s %-6s %5s %8s %8s %8s %8s %9s %9s %9s %9s\n", "case", "", "frame",
                "depth", "render", "smart", "floor", "memcpy", "rnd/smart", "rnd/floor",
                "rnd/memcpy", "smt/floor");
    for (const Depth& depth : depths) {
        for (const FrameSize& size : frameSizes) {
            for (const Downsample& ds : downsamples) {
                for (const Shape& shape : shapes) {
                    const std::string id = caseId(shape, ds);
                    const std::string key = frameKey(depth.bits, size, id);
                    const double render = ms("render", key);
                    if (std::isnan(render)) {
                        continue;
                    }
                    const double smart = ms("smart", key);
                    const double fl = ms("floor", key);
                    const double copy = ms("memcpy", frameKey(depth.bits, size, ds.name));
                    std::printf("%-8s %-24s %-6s %5d %8s %8s %8s %8s %9s %9s %9s %9s\n", id.c_str(),
                                shape.description, size.name, depth.bits, n(render, "%.3f").c_str(),
                                n(smart, "%.3f").c_str(), n(fl, "%.3f").c_str(),
                                n(copy, "%.3f").c_str(), n(render / smart, "%.3f").c_str(),
                                n(render / fl).c_str(), n(render / copy).c_str(),
                                n(smart / fl).c_str());
                }
            }
        }
    }

    std::printf("\ntransfer_rect of a 1080p frame's region, one thread: ms, and the ratio to a "
                "straight vectorised source-over of the same pixels\n");
    std::printf("%-6s %-7s %8s", "depth", "region", "over");
    for (const auto& mode : transferModes) {
        std::printf(" %9s %6s", mode.first, "/over");
    }
    std::printf("\n");
    for (const Depth& depth : depths) {
        for (const std::string& data : regionData) {
            const std::string key = std::to_string(depth.bits) + "/" + data;
            const double over = ms("over", key);
            std::printf("%-6d %-7s %8s", depth.bits, data.c_str(), n(over, "%.3f").c_str());
            for (const auto& mode : transferModes) {
                const double t = ms("transfer", key + "/" + mode.first);
                std::printf(" %9s %6s", n(t, "%.3f").c_str(), n(t / over).c_str());
            }
            std::printf("\n");
        }
    }

    std::printf("\ncopy and fill of a whole 1080p frame, one thread: ms, and the ratio to memcpy "
                "and memset\n");
    std::printf("%-6s %8s %8s %7s %8s %8s %8s %7s %7s\n", "depth", "copy", "memcpy", "ratio",
                "fill 0", "fill rgb", "memset", "ratio0", "ratio");
    for (const Depth& depth : depths) {
        const std::string bits = std::to_string(depth.bits);
        const double copy = ms("copy", bits);
        const double mc = ms("memcpy", bits);
        const double clear = ms("fill", bits + "/clear");
        const double colour = ms("fill", bits + "/colour");
        const double ms0 = ms("memset", bits);
        std::printf("%-6d %8s %8s %7s %8s %8s %8s %7s %7s\n", depth.bits, n(copy, "%.3f").c_str(),
                    n(mc, "%.3f").c_str(), n(copy / mc).c_str(), n(clear, "%.3f").c_str(),
                    n(colour, "%.3f").c_str(), n(ms0, "%.3f").c_str(), n(clear / ms0).c_str(),
                    n(colour / ms0).c_str());
    }

    std::printf(
        "\nThe worker pool, wall clock: one call on 1 thread, and the speed-up with more\n");
    std::printf("%-6s %12s", "call", "1 thread");
    const std::vector<int> counts = BenchCommon::threadCounts();
    for (std::size_t i = 1; i < counts.size(); ++i) {
        std::printf(" %11s", ("x" + std::to_string(counts[i]) + " threads").c_str());
    }
    std::printf("\n");
    for (const auto& call : poolCalls) {
        const std::string size = call.first;
        const double one = ms("pool", size + "/1");
        std::printf("%-6s %9s us", size.c_str(), n(one * 1e3, "%.2f").c_str());
        for (std::size_t i = 1; i < counts.size(); ++i) {
            std::printf(" %11s",
                        n(one / ms("pool", size + "/" + std::to_string(counts[i]))).c_str());
        }
        std::printf("\n");
    }
}

} // namespace
} // namespace HostBench

int main(int argc, char** argv) {
    HostBench::Report report(HostBench::printTables);
    return BenchCommon::runBenchmarks(argc, argv, HostBench::registerBenchmarks, report);
}
