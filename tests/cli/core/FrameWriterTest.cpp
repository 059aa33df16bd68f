// The thread that writes a render job's frames while the job renders the next: frames are written
// one at a time, in the order handed over; handing one over waits until the one before is
// written, so that a job never holds more than two; finishing, and the writer's end, wait for the
// frame in hand. Built everywhere, so that ThreadSanitizer runs it.

#include "cli/core/FrameWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Frames that record the order they were written in and how many were written at once, and that
// can be held in the middle of being written until released.
class Frames {
public:
    std::function<void()> frame(int n, bool held = false) {
        return [this, n, held] {
            const int now = ++m_writing;
            int most = m_most;
            while (now > most && !m_most.compare_exchange_weak(most, now)) {
            }
            std::unique_lock lock(m_mutex);
            m_released.wait(lock, [&] { return !held || m_release; });
            m_written.push_back(n);
            --m_writing;
        };
    }
    void release() {
        {
            std::lock_guard lock(m_mutex);
            m_release = true;
        }
        m_released.notify_all();
    }
    std::vector<int> written() {
        std::lock_guard lock(m_mutex);
        return m_written;
    }
    int most() const { return m_most; }

private:
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_release = false;
    std::vector<int> m_written;
    std::atomic<int> m_writing = 0;
    std::atomic<int> m_most = 0;
};

TEST(FrameWriter, HandingOverWaitsUntilTheFrameBeforeIsWritten) {
    Frames frames;
    OndrelCli::FrameWriter writer;
    writer.hand(frames.frame(1, true)); // the writer is free: returns at once
    std::atomic<bool> handed = false;
    std::thread job([&] {
        writer.hand(frames.frame(2));
        handed = true;
    });
    // However long the first frame takes, the second waits for it.
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(handed);
    EXPECT_TRUE(frames.written().empty());
    frames.release();
    job.join();
    EXPECT_TRUE(handed);
    writer.finish();
    EXPECT_EQ(frames.written(), (std::vector<int>{1, 2}));
    EXPECT_EQ(frames.most(), 1);
}

TEST(FrameWriter, ManyFramesAreWrittenInOrderOneAtATime) {
    Frames frames;
    {
        OndrelCli::FrameWriter writer;
        for (int n = 1; n <= 200; ++n) {
            writer.hand(frames.frame(n));
        }
        // The writer's end waits for the last frame.
    }
    std::vector<int> order(200);
    for (int n = 1; n <= 200; ++n) {
        order[static_cast<std::size_t>(n - 1)] = n;
    }
    EXPECT_EQ(frames.written(), order);
    EXPECT_EQ(frames.most(), 1);
}

TEST(FrameWriter, FinishingWaitsForTheFrameInHand) {
    Frames frames;
    OndrelCli::FrameWriter writer;
    writer.hand(frames.frame(7, true));
    std::atomic<bool> finished = false;
    std::thread waiting([&] {
        writer.finish();
        finished = true;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(finished);
    frames.release();
    waiting.join();
    EXPECT_EQ(frames.written(), std::vector<int>{7});
}

} // namespace
