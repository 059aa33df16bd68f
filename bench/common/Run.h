// What the benchmark programs share: a reporter that hands each finished run to the program's own
// tables and prints the machine's load around them, and Google Benchmark run with this project's
// defaults.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace BenchCommon {

// "0.52 0.58 0.59 (1, 5, 15 min)", or "unknown".
inline std::string loadAverage() {
    double load[3] = {};
    if (getloadavg(load, 3) != 3) {
        return "unknown";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f %.2f (1, 5, 15 min)", load[0], load[1], load[2]);
    return text;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

// The thread counts a threaded benchmark compares: 1, 2, 4, 8 and so on up to the machine's
// hardware threads, and that count itself.
inline std::vector<int> threadCounts() {
    const int machine = std::max(2, static_cast<int>(std::thread::hardware_concurrency()));
    std::vector<int> counts;
    for (int n = 1; n < machine; n *= 2) {
        counts.push_back(n);
    }
    counts.push_back(machine);
    return counts;
}

// The number in the printf format, or "-" for NaN (a yardstick that did not run).
inline std::string number(double v, const char* format) {
    if (std::isnan(v)) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

// Collects every finished run (a failed one is named on standard error and left out) with a
// progress line on standard error, then prints the tables between the load averages at the start
// and at the end.
class TableReporter : public benchmark::BenchmarkReporter {
    // Why a run gave no time, if it failed: Google Benchmark 1.8 (Debian 13) calls a failure a
    // skip with a message, 1.7 (Debian 12) an error.
    template <typename R>
    static std::optional<std::string> failure(const R& run) {
        if constexpr (requires { run.skip_message; }) {
            return run.skipped != decltype(run.skipped){} ? std::optional(run.skip_message)
                                                          : std::nullopt;
        } else {
            return run.error_occurred ? std::optional(run.error_message) : std::nullopt;
        }
    }

public:
    bool ReportContext(const Context&) override {
        std::printf("load average at start: %s\n", loadAverage().c_str());
        return true;
    }

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration) {
                continue;
            }
            const std::string& name = run.run_name.function_name;
            if (const auto error = failure(run)) {
                std::fprintf(stderr, "%s: %s\n", name.c_str(), error->c_str());
                continue;
            }
            collect(run);
            std::fprintf(stderr, "\r%-70s", name.c_str());
            std::fflush(stderr);
        }
    }

    void Finalize() override {
        std::fprintf(stderr, "\r%-70s\r", "");
        printTables();
        std::printf("\nload average at end: %s\n", loadAverage().c_str());
    }

protected:
    virtual void collect(const Run& run) = 0;
    virtual void printTables() = 0;
};

// Runs the benchmarks that registerAll registers, with Google Benchmark's flags and, where they do
// not say otherwise, three repetitions in a shuffled order of at least 0.1 s each. Returns main's
// status.
inline int runBenchmarks(int argc, char** argv, const std::function<void()>& registerAll,
                         benchmark::BenchmarkReporter& reporter) {
    const auto given = [&](const char* flag) {
        for (int i = 1; i < argc; ++i) {
            if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0) {
                return true;
            }
        }
        return false;
    };
    std::vector<char*> args(argv, argv + argc);
    char repetitions[] = "--benchmark_repetitions=3";
    char shuffled[] = "--benchmark_enable_random_interleaving=true";
    char minTime[] = "--benchmark_min_time=0.1";
    if (!given("--benchmark_repetitions")) {
        args.push_back(repetitions);
        args.push_back(shuffled);
    }
    if (!given("--benchmark_min_time")) {
        args.push_back(minTime);
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) {
        return 1;
    }
    registerAll();
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

} // namespace BenchCommon
