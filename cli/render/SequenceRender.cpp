#include "cli/render/SequenceRender.h"

#include "cli/core/CliError.h"
#include "cli/core/Effects.h"
#include "cli/core/FrameWriter.h"
#include "cli/image/DefaultLayer.h"
#include "cli/image/ImageFiles.h"
#include "cli/render/ExistingFrames.h"
#include "cli/render/FileRoles.h"
#include "cli/render/FrameRecord.h"
#include "cli/shot/RenderLimits.h"
#include "cli/terminal/Progress.h"
#include "cli/terminal/SequenceProgress.h"
#include "cli/terminal/Signals.h"
#include "cli/terminal/TemporaryFile.h"
#include "host/system/SystemLimits.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <thread>

namespace OndrelCli {

using OfflineHost::EffectInstance;
using OfflineHost::World;

namespace {

namespace fs = std::filesystem;

struct FrameTask {
    std::optional<int> number; // none for a single frame
    fs::path output;
};

std::string frameName(const FrameTask& task) {
    return task.number ? "frame " + std::to_string(*task.number) : std::string();
}

// The layer a frame is drawn over: the input file, or the built-in layer. Its size is checked,
// against the memory `renders` renders at once need too (each with a finished frame that its
// writer holds in a sequence), before memory is set aside for it.
World loadLayer(const Shot& shot, const std::optional<fs::path>& file, int renders) {
    OfflineHost::Frame frame = shot.hostFrame(std::nullopt);
    std::optional<InputImage> input;
    std::string what;
    if (file) {
        input.emplace(*file);
        what = "input " + quoted(*file);
        checkLayerSize(input->width(), input->height(), what);
        frame.layerWidth = input->width();
        frame.layerHeight = input->height();
    } else {
        what = "--size " + std::to_string(shot.width) + "x" + std::to_string(shot.height);
        frame.layerWidth = shot.width;
        frame.layerHeight = shot.height;
    }
    checkMemory(frame, what, renders, shot.isSequence() ? renders : 0);
    return input ? input->read(shot.depth) : defaultLayer(shot.width, shot.height, shot.depth);
}

// Where a render's time went, summed over its frames (and so over its jobs).
class Timings {
public:
    enum Step { reading, rendering, writing };

    // Runs f, adding its time to the step's.
    template <typename F>
    decltype(auto) time(Step step, F&& f) {
        struct Add {
            std::atomic<std::int64_t>& total;
            std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
            ~Add() { total += (std::chrono::steady_clock::now() - start).count(); }
        } add{m_totals[step]};
        return f();
    }

    // One line, on standard error: "reading 12.3 ms, rendering 45.6 ms, writing 7.8 ms".
    void print() const {
        const auto ms = [this](Step step) {
            return std::chrono::duration<double, std::milli>(
                       std::chrono::steady_clock::duration(m_totals[step].load()))
                .count();
        };
        std::fprintf(stderr, "reading %.1f ms, rendering %.1f ms, writing %.1f ms\n", ms(reading),
                     ms(rendering), ms(writing));
    }

private:
    std::atomic<std::int64_t> m_totals[3] = {};
};

// Renders frames from a shared list on several threads through one effect instance, as a host
// renders several frames at once, each thread with a writer that writes its finished frames while
// it renders the next.
class SequenceRenderer {
public:
    // Progress is shown for sequences only.
    SequenceRenderer(const GlobalOptions& global, const Shot& shot, const RenderControl& control,
                     std::vector<FrameTask> tasks, SequenceProgress* progress)
        : m_shot(shot), m_tasks(std::move(tasks)), m_progress(progress),
          m_frames(std::max<std::size_t>(shot.frames.size(), 1)), m_showTimings(control.timings) {
        const int jobs = std::clamp<int>(control.jobs, 1, static_cast<int>(m_tasks.size()));
        const int threads = control.threads != 0
                                ? control.threads
                                : std::max(1, OfflineHost::usableProcessors() / jobs);
        m_effect = shot.applyEffect(global);
        applyParams(*m_effect, shot);
        setThreads(*m_effect, threads);
        // Writing is the longer part of most frames, and OpenEXR spreads it over its threads.
        setWriterThreads(OfflineHost::usableProcessors());
        // A single image, or the built-in layer, serves every frame.
        if (!shot.input || !shot.input->isSequence()) {
            m_layer = m_timings.time(Timings::reading, [&] {
                return loadLayer(
                    shot, shot.input ? std::optional(shot.input->path()) : std::nullopt, jobs);
            });
        }
        m_renders = jobs;
    }

    void run() {
        std::vector<std::thread> workers;
        for (int i = 1; i < m_renders; ++i) {
            workers.emplace_back([this] { _work(*m_effect); });
        }
        _work(*m_effect);
        for (auto& worker : workers) {
            worker.join();
        }
        if (m_progress != nullptr) {
            m_progress->finish(!m_failure.empty());
        }
        if (!m_failure.empty()) {
            // Whoever resumes it needs to know what is there: the frames it kept and wrote.
            if (m_progress != nullptr) {
                const std::size_t whole = m_frames - m_tasks.size() + m_written;
                throw CliError(m_failure + " (" + std::to_string(whole) + " of " +
                               std::to_string(m_frames) + " frames are whole)");
            }
            throw CliError(m_failure);
        }
        if (m_showTimings) {
            m_timings.print();
        }
    }

private:
    void _work(EffectInstance& effect) {
        FrameWriter writer;
        while (!m_stop) {
            const std::size_t next = m_next++;
            if (next >= m_tasks.size()) {
                return;
            }
            const FrameTask& task = m_tasks[next];
            _failingStops(task, [&] { _render(effect, task, writer); });
        }
    }

    // Runs `work`; a failure is the sequence's (the first one is reported) and stops it.
    template <typename Work>
    void _failingStops(const FrameTask& task, Work&& work) {
        try {
            work();
        } catch (const std::exception& e) {
            std::lock_guard lock(m_mutex);
            if (m_failure.empty()) {
                const std::string name = frameName(task);
                m_failure = name.empty() ? e.what() : name + ": " + e.what();
            }
            m_stop = true;
        }
    }

    void _render(EffectInstance& effect, const FrameTask& task, FrameWriter& writer) {
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        std::optional<World> frameLayer;
        if (!m_layer) {
            frameLayer = m_timings.time(Timings::reading, [&] {
                return loadLayer(m_shot, m_shot.input->frame(*task.number), m_renders);
            });
        }
        const World& layer = m_layer ? *m_layer : *frameLayer;
        auto output = std::make_shared<World>(1, 1, m_shot.depth);
        PF_Err err = PF_Err_NONE;
        {
            std::optional<Progress> note;
            if (m_progress == nullptr) {
                note.emplace("rendering " + m_shot.effect + " at " + std::to_string(layer.width()) +
                             "x" + std::to_string(layer.height()));
            }
            err = m_timings.time(Timings::rendering, [&] {
                return effect.renderFrame(m_shot.hostFrame(task.number), layer, *output);
            });
        }
        effect.diagnostics().clearCalls(); // the host's call log would grow with every frame
        if (err != PF_Err_NONE) {
            throw CliError(m_shot.effect + " failed to render: host error " + std::to_string(err));
        }
        const Clock::duration rendering = Clock::now() - start;
        writer.hand([this, &task, output, rendering] {
            _failingStops(task, [&] {
                const auto writing = Clock::now();
                m_timings.time(Timings::writing, [&] {
                    writeImage(*output, task.output, m_shot.compression);
                    if (m_shot.isSequence()) {
                        recordFinishedFrame(task.output, output->width(), output->height(),
                                            m_shot.depth);
                    }
                });
                ++m_written;
                if (m_progress != nullptr) {
                    // The frame's own time, not the time it waited for the writer.
                    const std::chrono::duration<double> took = rendering + (Clock::now() - writing);
                    m_progress->rendered(*task.number, task.output, took.count());
                }
            });
        });
    }

    const Shot& m_shot;
    const std::vector<FrameTask> m_tasks;
    std::unique_ptr<EffectInstance> m_effect;
    std::optional<World> m_layer;
    int m_renders = 1;
    SequenceProgress* m_progress;
    std::size_t m_frames; // in the sequence, the frames it keeps included
    std::atomic<std::size_t> m_next = 0;
    std::atomic<std::size_t> m_written = 0; // frames renamed into place
    std::atomic<bool> m_stop = false;
    std::mutex m_mutex;
    std::string m_failure;
    Timings m_timings;
    bool m_showTimings;
};

} // namespace

void renderShot(const GlobalOptions& global, const Shot& shot, const RenderControl& control) {
    if (control.jobs < 1) {
        throw CliError("--jobs " + std::to_string(control.jobs) +
                       ": expected 1 or more frames at once");
    }
    if (!shot.output) {
        throw CliError("no output: give -o FILE, or \"output\" in the recipe");
    }
    checkFileRoles(shot);
    if (!shot.isSequence()) {
        const fs::path& file = shot.output->path();
        checkWritable(file, shot.depth);
        checkReplaceable(file);
        removeLeftoverTemporaries({file});
        SequenceRenderer(global, shot, control, {{std::nullopt, file}}, nullptr).run();
        return;
    }
    checkWritable(shot.output->frame(shot.frames.front()), shot.depth);
    const auto checking = std::chrono::steady_clock::now();
    const std::vector<ExistingFrame> existing =
        control.skipExisting ? existingFrames(shot, OfflineHost::usableProcessors())
                             : std::vector<ExistingFrame>(shot.frames.size());
    const std::chrono::duration<double> checked = std::chrono::steady_clock::now() - checking;
    std::vector<fs::path> files;
    for (std::size_t i = 0; i < shot.frames.size(); ++i) {
        files.push_back(shot.output->frame(shot.frames[i]));
        // Before the first frame: a sequence refused half-way through would be half replaced.
        if (existing[i].state != ExistingFrame::State::Whole) {
            checkReplaceable(files.back());
        }
    }
    removeLeftoverTemporaries(files);
    SequenceProgress progress(shot.frames.size(), SequenceProgress::styleFor(control.quiet));
    const SaidOnSignal interrupted([&progress] { progress.interrupted(); });
    if (control.skipExisting) {
        progress.checked(checked.count());
    }
    std::vector<FrameTask> tasks;
    for (std::size_t i = 0; i < shot.frames.size(); ++i) {
        const int n = shot.frames[i];
        if (existing[i].state == ExistingFrame::State::Whole) {
            progress.skipped(n, files[i]);
            continue;
        }
        if (existing[i].state == ExistingFrame::State::Broken) {
            progress.redoing(n, files[i], existing[i].why);
        }
        tasks.push_back({n, files[i]});
    }
    if (tasks.empty()) {
        progress.finish(false);
        return;
    }
    SequenceRenderer(global, shot, control, std::move(tasks), &progress).run();
}

} // namespace OndrelCli
