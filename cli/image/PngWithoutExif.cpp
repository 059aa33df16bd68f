#include "cli/image/PngWithoutExif.h"

#include <algorithm>
#include <cstring>

namespace OndrelCli {

PngWithoutExif::PngWithoutExif(OIIO::Filesystem::IOProxy& file)
    : IOProxy(file.filename(), Write), m_file(file) {}

bool PngWithoutExif::_pass(const unsigned char* bytes, std::size_t count) {
    return m_file.write(bytes, count) == count;
}

size_t PngWithoutExif::write(const void* buf, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(buf);
    std::size_t at = 0;
    while (at < size) {
        const std::size_t left = size - at;
        if (m_passing > 0 || m_dropping > 0) {
            std::uint64_t& count = m_passing > 0 ? m_passing : m_dropping;
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, count));
            if (m_passing > 0 && !_pass(bytes + at, n)) {
                return at;
            }
            count -= n;
            at += n;
            continue;
        }
        // A chunk begins: its length (big-endian) and type decide whether it passes. The data
        // and the CRC follow.
        const std::size_t n = std::min(left, m_header.size() - m_headerBytes);
        std::memcpy(m_header.data() + m_headerBytes, bytes + at, n);
        m_headerBytes += n;
        at += n;
        if (m_headerBytes < m_header.size()) {
            continue;
        }
        m_headerBytes = 0;
        const std::uint64_t rest =
            ((std::uint64_t{m_header[0]} << 24) | (std::uint64_t{m_header[1]} << 16) |
             (std::uint64_t{m_header[2]} << 8) | std::uint64_t{m_header[3]}) +
            4;
        if (std::memcmp(m_header.data() + 4, "eXIf", 4) == 0) {
            m_dropping = rest;
        } else if (_pass(m_header.data(), m_header.size())) {
            m_passing = rest;
        } else {
            return at;
        }
    }
    m_pos += static_cast<int64_t>(size);
    return size;
}

} // namespace OndrelCli
