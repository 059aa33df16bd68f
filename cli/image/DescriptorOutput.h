#pragma once

// Where OpenImageIO's writers put a file's bytes: an open file descriptor, every write checked.
// The PNG writer reports success after a write that failed (a full disk), so its answer alone
// says nothing; this keeps the first failure's errno and how far the file was written, for the
// caller to check once the writer is closed.

#include <OpenImageIO/filesystem.h>

#include <cstdint>

namespace OndrelCli {

class DescriptorOutput final : public OIIO::Filesystem::IOProxy {
public:
    // Writes to `descriptor`, which the caller keeps open while the writer uses it; the name is
    // the writer's to show.
    DescriptorOutput(int descriptor, const std::string& name);

    const char* proxytype() const override { return "descriptor"; }
    size_t read(void* buf, size_t size) override;
    size_t write(const void* buf, size_t size) override;
    size_t pread(void* buf, size_t size, int64_t offset) override;
    size_t pwrite(const void* buf, size_t size, int64_t offset) override;
    size_t size() const override { return static_cast<size_t>(m_end); }

    // The errno of the first write that failed or fell short; 0 when every one was whole.
    int failure() const { return m_failure; }
    // Where the last byte written ends: the file's size once the writer is done.
    int64_t end() const { return m_end; }

private:
    int m_descriptor;
    int m_failure = 0;
    int64_t m_end = 0;
};

} // namespace OndrelCli
