#include "cli/render/ExistingFrames.h"

#include "cli/image/ImageFiles.h"
#include "cli/render/FrameRecord.h"
#include "cli/terminal/TemporaryFile.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

namespace OndrelCli {

namespace fs = std::filesystem;

std::vector<ExistingFrame> existingFrames(const Shot& shot, int threads) {
    using State = ExistingFrame::State;
    std::vector<ExistingFrame> found(shot.frames.size());
    // The built-in layer's size, or the single input's, serves every frame.
    std::optional<std::pair<A_long, A_long>> layer;
    if (!shot.input) {
        layer.emplace(shot.width, shot.height);
    } else if (!shot.input->isSequence()) {
        const InputImage input(shot.input->path());
        layer.emplace(input.width(), input.height());
    }
    // Read before the threads start, one record for each folder the frames lie in.
    std::map<fs::path, FrameRecord> records;
    for (const int n : shot.frames) {
        const fs::path folder = folderOf(linkedFile(shot.output->frame(n)));
        if (!records.contains(folder)) {
            records.emplace(folder, FrameRecord(folder));
        }
    }
    std::atomic<std::size_t> next = 0;
    const auto check = [&] {
        for (std::size_t i = next++; i < found.size(); i = next++) {
            const int n = shot.frames[i];
            const fs::path file = shot.output->frame(n);
            std::error_code err;
            if (!fs::exists(file, err)) {
                continue;
            }
            OfflineHost::Frame frame = shot.hostFrame(n);
            try {
                std::tie(frame.layerWidth, frame.layerHeight) = layer ? *layer : [&] {
                    const InputImage input(shot.input->frame(n));
                    return std::pair(input.width(), input.height());
                }();
            } catch (const std::exception&) {
                continue; // rendering it says what is wrong with its input
            }
            const FrameRecord& record = records.at(folderOf(linkedFile(file)));
            if (record.vouchesFor(file, frame.scaledWidth(), frame.scaledHeight(), shot.depth)) {
                found[i] = ExistingFrame{State::Whole, {}};
                continue;
            }
            const auto why =
                whyNotWhole(file, frame.scaledWidth(), frame.scaledHeight(), shot.depth);
            found[i] = why ? ExistingFrame{State::Broken, *why} : ExistingFrame{State::Whole, {}};
        }
    };
    std::vector<std::thread> helpers;
    const int count = std::min(threads, static_cast<int>(found.size()));
    for (int i = 1; i < count; ++i) {
        helpers.emplace_back(check);
    }
    check();
    for (auto& helper : helpers) {
        helper.join();
    }
    return found;
}

} // namespace OndrelCli
