#pragma once

// The way a PNG writer's bytes take to the file: every chunk passes but eXIf. OpenImageIO 2.5
// writes an eXIf chunk into every PNG, an empty one when the image has no Exif data (as a frame
// of ours never has), where 2.4 writes none; without it a frame is the same file whichever
// Debian release rendered it.

#include <OpenImageIO/filesystem.h>

#include <array>
#include <cstdint>

namespace OndrelCli {

class PngWithoutExif final : public OIIO::Filesystem::IOProxy {
public:
    // Passes the chunks on to `file`, which outlives it.
    explicit PngWithoutExif(OIIO::Filesystem::IOProxy& file);

    const char* proxytype() const override { return "png-without-exif"; }
    // Takes the writer's bytes in pieces of any size; returns fewer than `size` only when `file`
    // took fewer.
    size_t write(const void* buf, size_t size) override;
    size_t size() const override { return m_file.size(); }
    void flush() const override { m_file.flush(); }

private:
    bool _pass(const unsigned char* bytes, std::size_t count);

    OIIO::Filesystem::IOProxy& m_file;
    std::uint64_t m_passing = 8;  // bytes to pass on: the signature first, then a chunk's
    std::uint64_t m_dropping = 0; // bytes of an eXIf chunk still to come
    std::array<unsigned char, 8> m_header{}; // a chunk's length and type, as they arrive
    std::size_t m_headerBytes = 0;
};

} // namespace OndrelCli
