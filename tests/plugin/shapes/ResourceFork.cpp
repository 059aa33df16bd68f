#include "ResourceFork.h"

#include "host/module/Pipl.h"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace ResourceFork {
namespace {

using OfflineHost::fourCC;

std::uint32_t bigEndian(std::span<const std::uint8_t> bytes, std::size_t at, int size) {
    if (at + static_cast<std::size_t>(size) > bytes.size()) {
        throw std::runtime_error("resource data truncated");
    }
    std::uint32_t v = 0;
    for (int i = 0; i < size; ++i) {
        v = v << 8 | bytes[at + static_cast<std::size_t>(i)];
    }
    return v;
}

void swapBytes(std::vector<std::uint8_t>& b, std::size_t at, std::size_t width) {
    std::reverse(b.begin() + static_cast<std::ptrdiff_t>(at),
                 b.begin() + static_cast<std::ptrdiff_t>(at + width));
}

} // namespace

std::vector<Resource> resourcesOfType(std::span<const std::uint8_t> file, std::uint32_t type) {
    const std::uint32_t dataStart = bigEndian(file, 0, 4);
    const std::uint32_t map = bigEndian(file, 4, 4);
    const std::uint32_t typeList = map + bigEndian(file, map + 24, 2);
    const std::uint32_t types = bigEndian(file, typeList, 2) + 1;
    std::vector<Resource> out;
    for (std::uint32_t t = 0; t < types; ++t) {
        const std::uint32_t entry = typeList + 2 + 8 * t;
        if (bigEndian(file, entry, 4) != type) {
            continue;
        }
        const std::uint32_t count = bigEndian(file, entry + 4, 2) + 1;
        const std::uint32_t refs = typeList + bigEndian(file, entry + 6, 2);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t ref = refs + 12 * i;
            const std::uint32_t at = dataStart + (bigEndian(file, ref + 4, 4) & 0xFFFFFF);
            const std::uint32_t length = bigEndian(file, at, 4);
            if (at + 4 + static_cast<std::size_t>(length) > file.size()) {
                throw std::runtime_error("resource data truncated");
            }
            const auto first = file.begin() + at + 4;
            out.push_back({static_cast<std::int16_t>(bigEndian(file, ref, 2)),
                           std::vector<std::uint8_t>(first, first + length)});
        }
    }
    return out;
}

// The property-list layout with each value's width, as the record format defines it.
std::vector<std::uint8_t> bigToLittlePropertyList(std::vector<std::uint8_t> b) {
    const std::map<std::uint32_t, std::vector<std::size_t>> valueWidths{
        {fourCC("kind"), {4}}, {fourCC("ePVR"), {2, 2}}, {fourCC("eSVR"), {2, 2}},
        {fourCC("eVER"), {4}}, {fourCC("eINF"), {2}},    {fourCC("eGLO"), {4}},
        {fourCC("eGL2"), {4}}, {fourCC("aeFL"), {4}},
    }; // every other property here is a string, the same in both orders
    const std::uint32_t count = bigEndian(b, 6, 4);
    swapBytes(b, 0, 2);
    swapBytes(b, 2, 4);
    swapBytes(b, 6, 4);
    std::size_t at = 10;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t key = bigEndian(b, at + 4, 4);
        const std::uint32_t length = bigEndian(b, at + 12, 4);
        for (std::size_t field = 0; field < 4; ++field) {
            swapBytes(b, at + 4 * field, 4);
        }
        std::size_t value = at + 16;
        if (const auto widths = valueWidths.find(key); widths != valueWidths.end()) {
            for (std::size_t width : widths->second) {
                swapBytes(b, value, width);
                value += width;
            }
        }
        at += 16 + length;
    }
    return b;
}

} // namespace ResourceFork
