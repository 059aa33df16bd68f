#pragma once

// A thread that writes a render job's finished frames while the job draws the next, one frame at
// a time: handing a frame over waits until the one before is written, so that a job holds at
// most two frames, the one being written and the one being drawn, whichever is the slower.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace OndrelCli {

class FrameWriter {
public:
    FrameWriter();
    // Waits for the frame in hand to be written, then ends the thread.
    ~FrameWriter();
    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    // Waits until the frame in hand is written, then hands over `write`, which writes a frame it
    // owns on the writer's thread and throws nothing, and returns.
    void hand(std::function<void()> write);
    // Waits until the frame in hand is written.
    void finish();

private:
    void _run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<void()> m_write; // the frame in hand; empty when there is none
    bool m_ending = false;
    std::thread m_thread;
};

} // namespace OndrelCli
