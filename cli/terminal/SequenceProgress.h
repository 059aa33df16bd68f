#pragma once

// What a sequence render shows while it runs: on a terminal a bar with the frames done, frames
// per second and time left (on stderr); otherwise one line per frame (on stdout, for logs); and
// at the end a summary with the frame count, the total time and the slowest frame. Quiet shows
// nothing. Frames may finish on any thread. The bar goes to the stderr the sequence started
// with, so that it keeps moving while the image libraries' stderr is held (QuietLibraries.h).

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace OndrelCli {

class SequenceProgress {
public:
    enum class Style { Bar, Lines, Quiet };

    SequenceProgress(std::size_t frames, Style style);
    // Bar on a terminal, else lines; quiet when asked.
    static Style styleFor(bool quiet);

    // The time spent finding which frames are there and whole, told apart from rendering's.
    void checked(double seconds);
    void skipped(int frame, const std::filesystem::path& file);
    // A frame whose file is there but not whole, to be rendered again: one line on stderr that
    // says why, in every style.
    void redoing(int frame, const std::filesystem::path& file, const std::string& why);
    void rendered(int frame, const std::filesystem::path& file, double seconds);
    // Ends the bar and prints the summary; `stopped` says the sequence ended early.
    void finish(bool stopped);
    // Ends the bar, for a signal that ends the sequence, and says on the sequence's standard
    // error how many frames are whole and how to render the rest.
    void interrupted();

private:
    void _drawBar(bool force);
    void _clearBar();
    // Where the bar and notes go.
    std::FILE* _terminal() const;

    using Clock = std::chrono::steady_clock;
    const std::size_t m_frames;
    const Style m_style;
    const Clock::time_point m_start;
    std::timed_mutex m_mutex;
    std::size_t m_rendered = 0;
    std::size_t m_skipped = 0;
    std::optional<double> m_checking;                // seconds
    std::optional<std::pair<int, double>> m_slowest; // frame and seconds
    Clock::time_point m_drawn;
    bool m_barShown = false;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> m_terminal{nullptr, &std::fclose};
};

} // namespace OndrelCli
