#pragma once

// The macOS registration resources as a Mac host reads them: a classic resource file (the layout
// of a resource fork, big-endian throughout) holding one 'PiPL' resource per effect, each a
// property list with big-endian values.

#include <cstdint>
#include <span>
#include <vector>

namespace ResourceFork {

struct Resource {
    std::int16_t id;
    std::vector<std::uint8_t> bytes;
};

// The resources of one type, in the order of the resource map. Throws std::runtime_error when a
// structure lies outside the file.
std::vector<Resource> resourcesOfType(std::span<const std::uint8_t> file, std::uint32_t type);

// A big-endian property list rewritten in the little-endian form the offline host's parser
// reads: the header, each property's header fields and each known numeric value swapped, the
// strings left as they are.
std::vector<std::uint8_t> bigToLittlePropertyList(std::vector<std::uint8_t> list);

} // namespace ResourceFork
