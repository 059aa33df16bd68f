#pragma once

// The three files that carry the property lists to the hosts: the Windows resource script, the
// classic macOS resource file and the .pipl file the offline host reads beside a Linux module.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace OndrelPipl {

struct Resource {
    std::int16_t id;
    std::vector<std::uint8_t> data; // a property list, already in the container's byte order
};

// One "PIPL" resource per entry in US English, its bytes as RC 16-bit words (so the compiled
// resource holds the little-endian bytes unchanged).
std::string resourceScript(std::span<const Resource> resources);

// A classic resource fork holding every entry as a 'PiPL' resource (big-endian throughout).
std::vector<std::uint8_t> resourceFork(std::span<const Resource> resources);

// The .pipl file: per entry "PIPL", the id, the language, a zero and the byte count, all
// little-endian, then the bytes.
std::vector<std::uint8_t> piplFile(std::span<const Resource> resources);

} // namespace OndrelPipl
