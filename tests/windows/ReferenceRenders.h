#pragma once

// One fixed render of every effect at every depth, each reduced to a digest of its pixels, so
// that two builds of the module from the same sources (Linux and Windows) can be shown to give
// identical pixels without shipping images between them.

#include <cstdint>
#include <string>
#include <vector>

namespace ReferenceRenders {

struct Digest {
    std::string render; // effect and depth, e.g. "OndrelLine/16"
    int width = 0;
    int height = 0;
    std::uint64_t pixels = 0; // FNV-1a over every pixel's bytes, row by row, without padding
    int drawn = 0;            // pixels that differ from the same render at opacity 0

    bool operator==(const Digest&) const = default;
};

// Renders each effect with parameters away from their defaults (moved, rotated, scaled, stroked,
// translucent, blended) over a patterned layer at 8, 16 and 32 bits, through the module that
// ONDREL_MODULE_PATH names.
std::vector<Digest> renderAll();

// One line per digest: "<render> <width>x<height> <drawn> <16 hex digits>".
std::string format(const std::vector<Digest>& digests);

// The lines format() writes; throws std::runtime_error naming a line it cannot read.
std::vector<Digest> parse(const std::string& text);

} // namespace ReferenceRenders
