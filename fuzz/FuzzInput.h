#pragma once

// What the fuzz targets share: the input's bytes read as choices, and a stop that keeps the input.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace OndrelFuzz {

// The input read from its start, each read giving 0 once it is spent.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    unsigned pick(unsigned choices) { return byte() % choices; }
    std::uint32_t word() {
        std::uint32_t w = 0;
        for (int i = 0; i < 4; ++i) {
            w = w << 8 | byte();
        }
        return w;
    }
    // Uniform in [low, high].
    double within(double low, double high) { return low + (high - low) * (word() / 4294967295.0); }
    double bits() {
        const std::uint64_t b = static_cast<std::uint64_t>(word()) << 32 | word();
        double d = 0;
        std::memcpy(&d, &b, sizeof d);
        return d;
    }
    // What is left, as text.
    std::string_view rest() {
        const std::string_view text(reinterpret_cast<const char*>(m_data) + m_at, m_size - m_at);
        m_at = m_size;
        return text;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

// Ends the run; libFuzzer keeps the input that led here.
[[noreturn]] inline void stop(const std::string& what) {
    std::fprintf(stderr, "ondrel fuzz: %s\n", what.c_str());
    std::abort();
}

} // namespace OndrelFuzz
