#include "cli/image/DescriptorOutput.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace OndrelCli {

DescriptorOutput::DescriptorOutput(int descriptor, const std::string& name)
    : IOProxy(name, Write), m_descriptor(descriptor) {}

size_t DescriptorOutput::read(void* buf, size_t size) {
    const size_t got = pread(buf, size, m_pos);
    m_pos += static_cast<int64_t>(got);
    return got;
}

size_t DescriptorOutput::write(const void* buf, size_t size) {
    const size_t put = pwrite(buf, size, m_pos);
    m_pos += static_cast<int64_t>(put);
    return put;
}

size_t DescriptorOutput::pread(void* buf, size_t size, int64_t offset) {
    const ssize_t got = ::pread(m_descriptor, buf, size, offset);
    return got > 0 ? static_cast<size_t>(got) : 0;
}

size_t DescriptorOutput::pwrite(const void* buf, size_t size, int64_t offset) {
    const char* bytes = static_cast<const char*>(buf);
    size_t put = 0;
    while (put < size) {
        const ssize_t n =
            ::pwrite(m_descriptor, bytes + put, size - put, offset + static_cast<int64_t>(put));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            // A write that takes nothing without saying why has met the end of the space.
            if (m_failure == 0) {
                m_failure = n < 0 ? errno : ENOSPC;
            }
            break;
        }
        put += static_cast<size_t>(n);
    }
    m_end = std::max(m_end, offset + static_cast<int64_t>(put));
    return put;
}

} // namespace OndrelCli
