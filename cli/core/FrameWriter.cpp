#include "cli/core/FrameWriter.h"

namespace OndrelCli {

FrameWriter::FrameWriter() : m_thread([this] { _run(); }) {}

FrameWriter::~FrameWriter() {
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_write; });
        m_ending = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void FrameWriter::hand(std::function<void()> write) {
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_write; });
        m_write = std::move(write);
    }
    m_changed.notify_all();
}

void FrameWriter::finish() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_write; });
}

void FrameWriter::_run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_write || m_ending; });
        if (!m_write) {
            return;
        }
        // The frame stays in hand while it is written: only this thread changes it then.
        lock.unlock();
        m_write();
        lock.lock();
        m_write = nullptr;
        m_changed.notify_all();
    }
}

} // namespace OndrelCli
