// Collects the host benchmark's runs and prints them as tables of milliseconds and ratios. Each
// figure is the median of the repetitions: processor time of the whole process (which includes
// the host's worker threads and the kernel's time, and which other processes on the machine do
// not inflate), except for runs timed by the wall clock (the thread scaling).
//
// Benchmark names are "<what>/<key>", where the key names the row: every name that shares a key
// is one column of that row.
#pragma once

#include "bench/common/Run.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace HostBench {

class Report : public BenchCommon::TableReporter {
public:
    // The milliseconds of <what>/<key>, or NaN when it did not run.
    using Lookup = std::function<double(const std::string& what, const std::string& key)>;
    // Prints the tables once every run is in.
    using Printer = std::function<void(const Lookup&)>;

    explicit Report(Printer printer) : m_printer(std::move(printer)) {}

protected:
    void collect(const Run& run) override {
        const bool wallClock = run.run_name.time_type.find("real_time") != std::string::npos;
        const double time = wallClock ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
        m_ms[run.run_name.function_name].push_back(
            time / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e3);
    }

    void printTables() override {
        m_printer([this](const std::string& what, const std::string& key) {
            const auto found = m_ms.find(what + "/" + key);
            return found == m_ms.end() ? std::nan("") : BenchCommon::median(found->second);
        });
    }

private:
    Printer m_printer;
    std::map<std::string, std::vector<double>> m_ms;
};

} // namespace HostBench
