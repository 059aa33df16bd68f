// Collects the drawing benchmark's runs and prints them as tables: one per depth with the module's
// drawer beside Cairo and AGG (and Blend2D where the benchmark has it), in ns per pixel of the
// shape's region and as ratios, and one with the drawer's speed-up from one thread to more. Each
// figure is the median of the repetitions.
//
// Benchmark names are "<drawer>/<depth>/<frame>/<case id>", with drawer "ours", "cairo", "agg",
// "blend2d", "threads<n>" or "bands16", and depth 8, 16 or 32; every run carries a "pixels"
// counter.
#pragma once

#include "bench/common/Run.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace DrawingBench {

struct RowKey {
    std::string frame;
    std::string caseId;
    auto operator<=>(const RowKey&) const = default;
};

class TableReporter : public BenchCommon::TableReporter {
public:
    // Row descriptions by case id, in the order the tables list them.
    TableReporter(std::vector<std::string> caseOrder, std::map<std::string, std::string> caseNames)
        : m_caseOrder(std::move(caseOrder)), m_caseNames(std::move(caseNames)) {}

protected:
    void collect(const Run& run) override {
        const auto pixels = run.counters.find("pixels");
        if (pixels == run.counters.end() || pixels->second.value <= 0.0) {
            return;
        }
        const std::vector<std::string> parts = _split(run.run_name.function_name);
        if (parts.size() != 4) {
            return;
        }
        // One thread: processor time, which other processes on the machine do not inflate.
        // Several threads: wall time, since the point is how soon the frame is done.
        const bool threaded = parts[0].starts_with("threads");
        const double ns = threaded ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
        m_results[parts[0]][std::stoi(parts[1])][RowKey{parts[2], parts[3]}].push_back(
            ns / pixels->second.value);
        m_pixels[RowKey{parts[2], parts[3]}] = pixels->second.value;
    }

    void printTables() override {
        for (int depth : {8, 16, 32}) {
            _printDepth(depth);
        }
        _printThreads();
    }

private:
    using Samples = std::map<RowKey, std::vector<double>>;

    void _printDepth(int depth) {
        const Samples& ours = m_results["ours"][depth];
        if (ours.empty()) {
            return;
        }
        const Samples& cairo = m_results["cairo"][8];
        const Samples& agg = m_results["agg"][depth];
        const Samples& blend2d = m_results["blend2d"][8];
        // Blend2D, when the benchmark has it, draws 8 bits only, as Cairo does.
        const bool withBlend2D = depth == 8 && !blend2d.empty();
        std::printf("\n%d bits per channel, one thread: ns per pixel of the shape's region "
                    "(Cairo%s draws 8 bits only)\n",
                    depth, withBlend2D ? " and Blend2D each" : "");
        // A call's own time beside the time per pixel: for small shapes the call's fixed cost (its
        // set-up, zones and rows) is what the pixels' rate hides.
        std::printf("%-12s %-26s %-6s %9s %7s %8s %7s %7s %8s %8s %8s", "case", "", "frame",
                    "pixels", "ours", "us/call", "Cairo", "AGG", "/Cairo", "/AGG", "/best");
        std::printf(withBlend2D ? " %8s %9s\n" : "\n", "Blend2D", "/Blend2D");
        for (const RowKey& key : _rowOrder(ours)) {
            const double mine = BenchCommon::median(ours.at(key));
            const double c = _medianOf(cairo, key);
            const double a = _medianOf(agg, key);
            // The faster of Cairo and AGG that drew this depth: Cairo only at 8 bits.
            const double best = depth == 8 ? std::fmin(c, a) : a;
            std::printf("%-12s %-26s %-6s %9.0f %7.3f %8.2f %7s %7s %8s %8s %8s",
                        key.caseId.c_str(), m_caseNames[key.caseId].c_str(), key.frame.c_str(),
                        m_pixels[key], mine, mine * m_pixels[key] / 1000.0,
                        BenchCommon::number(c, "%.3f").c_str(),
                        BenchCommon::number(a, "%.3f").c_str(),
                        BenchCommon::number(mine / c, "%.2f").c_str(),
                        BenchCommon::number(mine / a, "%.2f").c_str(),
                        BenchCommon::number(mine / best, "%.2f").c_str());
            if (withBlend2D) {
                const double b = _medianOf(blend2d, key);
                std::printf(" %8s %9s", BenchCommon::number(b, "%.3f").c_str(),
                            BenchCommon::number(mine / b, "%.2f").c_str());
            }
            std::printf("\n");
        }
    }

    void _printThreads() {
        const std::vector<int> counts = _threadCounts();
        if (counts.size() < 2 || counts.front() != 1) {
            return;
        }
        std::printf("\nThreads: the drawer through the host's iterate suite, wall-clock ns per "
                    "pixel with one thread and the speed-up with more;\nlast, the drawer alone "
                    "on one thread, its time for the whole layer over its time for the 16 bands\n"
                    "of a 16-thread call drawn in turn, as a call whose workers are all late "
                    "draws them (below 1: the bands' own cost)\n");
        std::printf("%-12s %-6s %-6s %9s", "case", "frame", "depth", "1 thread");
        for (std::size_t i = 1; i < counts.size(); ++i) {
            std::printf(" %11s", ("x" + std::to_string(counts[i]) + " threads").c_str());
        }
        std::printf(" %11s\n", "16 bands/1");
        for (int depth : {8, 16, 32}) {
            const Samples& one = m_results["threads1"][depth];
            for (const RowKey& key : _rowOrder(one)) {
                const double t1 = BenchCommon::median(one.at(key));
                std::printf("%-12s %-6s %-6d %9.3f", key.caseId.c_str(), key.frame.c_str(), depth,
                            t1);
                for (std::size_t i = 1; i < counts.size(); ++i) {
                    const double tn =
                        _medianOf(m_results["threads" + std::to_string(counts[i])][depth], key);
                    std::printf(" %11s", BenchCommon::number(t1 / tn, "%.2f").c_str());
                }
                const double whole = _medianOf(m_results["ours"][depth], key);
                const double inBands = _medianOf(m_results["bands16"][depth], key);
                std::printf(" %11s\n", BenchCommon::number(whole / inBands, "%.2f").c_str());
            }
        }
    }

    // The thread counts that ran, in increasing order.
    std::vector<int> _threadCounts() const {
        std::vector<int> counts;
        for (const auto& entry : m_results) {
            if (entry.first.starts_with("threads")) {
                counts.push_back(std::stoi(entry.first.substr(7)));
            }
        }
        std::sort(counts.begin(), counts.end());
        return counts;
    }

    // Rows by case in the registration order, then by frame.
    std::vector<RowKey> _rowOrder(const Samples& samples) const {
        std::vector<RowKey> keys;
        for (const auto& entry : samples) {
            keys.push_back(entry.first);
        }
        const auto rank = [this](const RowKey& k) {
            const auto at = std::find(m_caseOrder.begin(), m_caseOrder.end(), k.caseId);
            return std::make_tuple(at - m_caseOrder.begin(), k.frame != "1080p");
        };
        std::sort(keys.begin(), keys.end(),
                  [&rank](const RowKey& a, const RowKey& b) { return rank(a) < rank(b); });
        return keys;
    }

    // The median, or NaN when the yardstick did not run for this row.
    static double _medianOf(const Samples& samples, const RowKey& key) {
        const auto found = samples.find(key);
        return found == samples.end() ? std::nan("") : BenchCommon::median(found->second);
    }

    static std::vector<std::string> _split(const std::string& name) {
        std::vector<std::string> parts;
        std::istringstream in(name);
        for (std::string part; std::getline(in, part, '/');) {
            parts.push_back(part);
        }
        return parts;
    }

    std::vector<std::string> m_caseOrder;
    std::map<std::string, std::string> m_caseNames;
    std::map<std::string, std::map<int, Samples>> m_results; // drawer, depth, row
    std::map<RowKey, double> m_pixels;
};

} // namespace DrawingBench
