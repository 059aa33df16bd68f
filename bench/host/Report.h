// Collects the host benchmark's runs and prints them as tables of milliseconds and ratios. Each
// figure is the median of the repetitions: processor time of the whole process (which includes
// the host's worker threads and the kernel's time, and which other processes on the machine do
// not inflate), except for runs timed by the wall clock (the thread scaling).
//
// Benchmark names are "<what>/<key>", where the key names the row: every name that shares a key
// is one column of that row.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace HostBench {

class Report : public benchmark::BenchmarkReporter {
public:
    // The milliseconds of <what>/<key>, or NaN when it did not run.
    using Lookup = std::function<double(const std::string& what, const std::string& key)>;
    // Prints the tables once every run is in.
    using Printer = std::function<void(const Lookup&)>;

    explicit Report(Printer printer) : _printer(std::move(printer)) {}

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
            if (run.error_occurred) {
                std::fprintf(stderr, "%s: %s\n", name.c_str(), run.error_message.c_str());
                continue;
            }
            const bool wallClock = run.run_name.time_type.find("real_time") != std::string::npos;
            const double time = wallClock ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
            _ms[name].push_back(time / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e3);
            std::fprintf(stderr, "\r%-70s", name.c_str());
            std::fflush(stderr);
        }
    }

    void Finalize() override {
        std::fprintf(stderr, "\r%-70s\r", "");
        _printer([this](const std::string& what, const std::string& key) {
            const auto found = _ms.find(what + "/" + key);
            return found == _ms.end() ? std::nan("") : median(found->second);
        });
        std::printf("\nload average at end: %s\n", loadAverage().c_str());
    }

    // A number, or "-" for NaN.
    static std::string number(double v, const char* format) {
        if (std::isnan(v)) {
            return "-";
        }
        char text[32];
        std::snprintf(text, sizeof text, format, v);
        return text;
    }

private:
    static double median(std::vector<double> v) {
        std::sort(v.begin(), v.end());
        const std::size_t n = v.size();
        return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
    }

    static std::string loadAverage() {
        double load[3] = {};
        if (getloadavg(load, 3) != 3) {
            return "unknown";
        }
        char text[64];
        std::snprintf(text, sizeof text, "%.2f %.2f %.2f (1, 5, 15 min)", load[0], load[1],
                      load[2]);
        return text;
    }

    Printer _printer;
    std::map<std::string, std::vector<double>> _ms;
};

} // namespace HostBench
