#pragma once

// A file name that holds a frame number: "out.####.exr" (the number zero-padded to the count of
// '#') or printf's "out.%04d.exr" and "out.%d.exr". A name without either is a single file.

#include <filesystem>
#include <optional>
#include <string>

namespace OndrelCli {

class FramePattern {
public:
    // Throws CliError when the file name holds more than one pattern.
    explicit FramePattern(std::filesystem::path path);

    bool isSequence() const { return m_width.has_value(); }
    // The file of frame n; the path itself when it is no sequence.
    std::filesystem::path frame(int n) const;
    // The name as given.
    const std::filesystem::path& path() const { return m_path; }
    // The name with the pattern replaced by `text`, for files that belong to the sequence.
    std::filesystem::path with(const std::string& text) const;

private:
    std::filesystem::path m_path;
    std::string m_before;
    std::string m_after;
    std::optional<int> m_width; // digits at least; 0 is unpadded
};

} // namespace OndrelCli
