#include "cli/serve/PreviewDelta.h"

#include <cstring>
#include <utility>

namespace OndrelCli {

ChangedRect changedRect(const std::string& before, const std::string& after, A_long width,
                        A_long height) {
    const std::size_t rowBytes = 4 * static_cast<std::size_t>(width);
    const auto row = [&](const std::string& image, A_long y) {
        return image.data() + static_cast<std::size_t>(y) * rowBytes;
    };
    const auto same = [&](A_long y) {
        return std::memcmp(row(before, y), row(after, y), rowBytes) == 0;
    };
    A_long top = 0;
    while (top < height && same(top)) {
        ++top;
    }
    if (top == height) {
        return {};
    }
    A_long bottom = height;
    while (same(bottom - 1)) {
        --bottom;
    }
    // Columns: the leftmost and rightmost pixel that differs in any of the rows between.
    A_long left = width;
    A_long right = 0;
    for (A_long y = top; y < bottom; ++y) {
        const char* b = row(before, y);
        const char* a = row(after, y);
        A_long x = 0;
        while (x < left && std::memcmp(b + 4 * x, a + 4 * x, 4) == 0) {
            ++x;
        }
        left = x;
        x = width;
        while (x > right && std::memcmp(b + 4 * (x - 1), a + 4 * (x - 1), 4) == 0) {
            --x;
        }
        right = x;
    }
    return {left, top, right - left, bottom - top};
}

std::string cropRgba(const std::string& rgba, A_long width, const ChangedRect& rect) {
    std::string out;
    out.reserve(4 * static_cast<std::size_t>(rect.width) * rect.height);
    for (A_long y = rect.y; y < rect.y + rect.height; ++y) {
        out.append(rgba, 4 * (static_cast<std::size_t>(y) * width + rect.x),
                   4 * static_cast<std::size_t>(rect.width));
    }
    return out;
}

std::uint64_t SentPreviews::remember(A_long width, A_long height, std::string rgba) {
    if (m_sent.size() == kept) {
        m_spare = std::move(m_sent.front().rgba);
        m_sent.pop_front();
    }
    m_sent.push_back(Sent{++m_last, width, height, std::move(rgba)});
    return m_last;
}

std::string SentPreviews::spare() {
    return std::exchange(m_spare, {});
}

const SentPreviews::Sent* SentPreviews::find(std::uint64_t number) const {
    for (const Sent& sent : m_sent) {
        if (sent.number == number) {
            return &sent;
        }
    }
    return nullptr;
}

} // namespace OndrelCli
