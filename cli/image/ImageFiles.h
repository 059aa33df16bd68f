#pragma once

// Image files for the ondrel command, read and written with OpenImageIO, the format taken from
// the file name. Files hold RGBA; the host's worlds hold straight ARGB at 8 bits (0..255), 16
// bits (0..32768) or float. Colours stay straight (unassociated) throughout: formats that store
// associated alpha (OpenEXR) are multiplied on writing and divided on reading. Pixels pass a
// strip of rows at a time, so that a file costs little memory beyond its world.

#include "cli/image/Compression.h"

#include "host/pixels/World.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace OndrelCli {

// An image file opened for reading: its header is read at once and its pixels on demand, so
// that its size can be checked before memory is set aside for them.
class InputImage {
public:
    // Throws CliError when `file` is not a regular file (a folder, a device such as /dev/zero),
    // not an image OpenImageIO reads, an image without pixels, or one without a colour channel
    // of a known name (R, G, B, or Y for grey).
    explicit InputImage(const std::filesystem::path& file);
    ~InputImage();
    InputImage(const InputImage&) = delete;
    InputImage& operator=(const InputImage&) = delete;

    A_long width() const;
    A_long height() const;

    // The pixels as a world of the given depth; the world is set aside once the first strip has
    // been read. Colour channels are found by their names (R, G, B, A, or Y for grey); a
    // missing colour channel is 0, a missing alpha full. Throws
    // CliError when the file cannot be read to its end, or holds a value that is NaN or infinite.
    OfflineHost::World read(OfflineHost::PixelDepth depth);

private:
    struct Reader;
    std::filesystem::path m_file;
    std::unique_ptr<Reader> m_reader;
};

// Throws CliError unless an image of `depth` could be written to `file`: a format OpenImageIO
// writes as a file, known by the name, that keeps alpha and the depth (PNG at 8 or 16 bits,
// TIFF, OpenEXR; the others are refused naming what they would lose), in an existing folder the
// user may write to (the folder of the file the name's links lead to). Lets the command refuse
// before rendering.
void checkWritable(const std::filesystem::path& file, OfflineHost::PixelDepth depth);

// Throws CliError when `file` is there and the user may not write it (as cp refuses it), though
// its folder would let the frame be renamed over it.
void checkReplaceable(const std::filesystem::path& file);

// The name of the format OpenImageIO writes for `file` ("png", "openexr", "tiff"), known by its
// extension; empty when there is none.
std::string outputFormat(const std::filesystem::path& file);

// Writes the world to `file` through a temporary file (TemporaryFile.h) that is renamed into
// place only once it is whole: every write OpenImageIO's writer made succeeded, the file on disk
// is as long as what was written and ends as its format ends (PNG's end chunk), and it is synced.
// Until then a file already under the name keeps its bytes; on a failure the temporary is
// removed. Compressed as `compression` says (Compression.h; checked beforehand). PNG and TIFF
// take 8-bit worlds as 8 bits and deeper ones as 16 bits (TIFF float as float); OpenEXR integer
// worlds as half floats, float ones as floats. Throws CliError naming what failed ("the disk is
// full").
void writeImage(const OfflineHost::World& world, const std::filesystem::path& file,
                const std::string& compression = defaultCompression);

// Why `file` is not the whole image writeImage makes of a `width` x `height` world of `depth`:
// another format, size or channel type, or pixels that cannot all be read (a file cut short, or
// never finished); nothing when it is one. Reads every pixel, since a header alone tells nothing
// of the rest.
std::optional<std::string> whyNotWhole(const std::filesystem::path& file, A_long width,
                                       A_long height, OfflineHost::PixelDepth depth);

// The threads OpenEXR compresses blocks of rows on, shared by all the files written at once
// (OpenImageIO's default is every hardware thread, whatever the process may use).
void setWriterThreads(int threads);

} // namespace OndrelCli
