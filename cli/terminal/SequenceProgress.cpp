#include "cli/terminal/SequenceProgress.h"

#include "cli/terminal/StandardOutput.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>

namespace OndrelCli {
namespace {

constexpr int barWidth = 30;
constexpr auto redrawInterval = std::chrono::milliseconds(100);

// "0:42", "1:05:00"; below a minute in seconds when `precise`.
std::string duration(double seconds, bool precise = false) {
    const long total = std::lround(seconds);
    if (precise && seconds < 60.0) {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f s", seconds);
        return text;
    }
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    }
    return text;
}

} // namespace

SequenceProgress::SequenceProgress(std::size_t frames, Style style)
    : m_frames(frames), m_style(style), m_start(Clock::now()), m_drawn(m_start) {
    std::fflush(stderr);
    const int terminal = ::dup(STDERR_FILENO);
    m_terminal.reset(terminal >= 0 ? ::fdopen(terminal, "w") : nullptr);
    if (terminal >= 0 && !m_terminal) {
        ::close(terminal);
    }
    if (m_style == Style::Bar) {
        _drawBar(true);
    }
}

SequenceProgress::Style SequenceProgress::styleFor(bool quiet) {
    return quiet ? Style::Quiet : ::isatty(STDERR_FILENO) != 0 ? Style::Bar : Style::Lines;
}

void SequenceProgress::checked(double seconds) {
    std::lock_guard lock(m_mutex);
    m_checking = seconds;
}

void SequenceProgress::skipped(int frame, const std::filesystem::path& file) {
    std::lock_guard lock(m_mutex);
    ++m_skipped;
    if (m_style == Style::Lines) {
        std::printf("frame %d (%zu of %zu): %s is there, skipped\n", frame, m_rendered + m_skipped,
                    m_frames, file.c_str());
        flushStandardOutput();
    } else if (m_style == Style::Bar) {
        _drawBar(false);
    }
}

void SequenceProgress::redoing(int frame, const std::filesystem::path& file,
                               const std::string& why) {
    std::lock_guard lock(m_mutex);
    std::FILE* out = _terminal();
    if (m_barShown) {
        std::fprintf(out, "\r%-80s\r", "");
    }
    std::fprintf(out, "ondrel: frame %d: \"%s\" is not a whole frame (%s); rendering it again\n",
                 frame, file.c_str(), why.c_str());
    std::fflush(out);
    if (m_barShown) {
        _drawBar(true);
    }
}

void SequenceProgress::rendered(int frame, const std::filesystem::path& file, double seconds) {
    std::lock_guard lock(m_mutex);
    ++m_rendered;
    if (!m_slowest || seconds > m_slowest->second) {
        m_slowest = {frame, seconds};
    }
    if (m_style == Style::Lines) {
        std::printf("frame %d (%zu of %zu): %s, %.2f s\n", frame, m_rendered + m_skipped, m_frames,
                    file.c_str(), seconds);
        flushStandardOutput();
    } else if (m_style == Style::Bar) {
        _drawBar(false);
    }
}

std::FILE* SequenceProgress::_terminal() const {
    return m_terminal ? m_terminal.get() : stderr;
}

void SequenceProgress::_drawBar(bool force) {
    const auto now = Clock::now();
    const std::size_t done = m_rendered + m_skipped;
    if (!force && done < m_frames && now - m_drawn < redrawInterval) {
        return;
    }
    m_drawn = now;
    const double elapsed = std::chrono::duration<double>(now - m_start).count();
    const int filled = static_cast<int>(barWidth * done / std::max<std::size_t>(m_frames, 1));
    std::string line = "\r[" + std::string(filled, '#') + std::string(barWidth - filled, '-') +
                       "] " + std::to_string(done) + "/" + std::to_string(m_frames) + " frames";
    if (m_rendered > 0 && elapsed > 0.0) {
        const double rate = static_cast<double>(m_rendered) / elapsed;
        char text[64];
        std::snprintf(text, sizeof text, "  %.2f frames/s  %s left", rate,
                      duration(static_cast<double>(m_frames - done) / rate).c_str());
        line += text;
    }
    std::FILE* out = _terminal();
    std::fprintf(out, "%-80s", line.c_str());
    std::fflush(out);
    m_barShown = true;
}

void SequenceProgress::_clearBar() {
    if (m_barShown) {
        std::FILE* out = _terminal();
        std::fprintf(out, "\r%-80s\r", "");
        std::fflush(out);
        m_barShown = false;
    }
}

void SequenceProgress::interrupted() {
    // A thread printing the progress would let go of it in far less; one that holds it while it
    // waits for the signal thread never will (Signals.h).
    std::unique_lock lock(m_mutex, std::chrono::seconds(1));
    if (!lock) {
        return;
    }
    _clearBar();
    std::FILE* out = _terminal();
    std::fprintf(out,
                 "ondrel: interrupted: %zu of %zu frames written; run again with --skip-existing "
                 "to finish\n",
                 m_rendered + m_skipped, m_frames);
    std::fflush(out);
}

void SequenceProgress::finish(bool stopped) {
    std::lock_guard lock(m_mutex);
    _clearBar();
    if (m_style == Style::Quiet) {
        return;
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - m_start).count();
    std::string summary = (stopped ? "stopped after " : "") + std::to_string(m_rendered) +
                          (m_rendered == 1 ? " frame" : " frames") + " rendered";
    char text[128];
    std::snprintf(text, sizeof text, " in %s", duration(elapsed, true).c_str());
    summary += text;
    if (m_rendered > 0 && elapsed > 0.0) {
        std::snprintf(text, sizeof text, " (%.2f frames/s); the slowest, frame %d, took %.2f s",
                      static_cast<double>(m_rendered) / elapsed, m_slowest->first,
                      m_slowest->second);
        summary += text;
    }
    if (m_skipped > 0 || m_checking) {
        summary += "; " + std::to_string(m_skipped) + " already there";
    }
    if (m_checking) {
        summary += ", checked in " + duration(*m_checking, true);
    }
    if (stopped) {
        summary += "; " + std::to_string(m_frames - m_rendered - m_skipped) + " not rendered";
    }
    std::printf("%s\n", summary.c_str());
    std::fflush(stdout);
}

} // namespace OndrelCli
