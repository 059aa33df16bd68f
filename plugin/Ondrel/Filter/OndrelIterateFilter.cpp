#include "Ondrel/Filter/OndrelIterateFilter.h"

#include <cstdint>

namespace Ondrel {

Rect getSegmentedRegion(const Rect& r, int index, int count, int direction) {
    if (count < 1) {
        return Rect(r.left, r.top, r.left, r.top);
    }
    // The products are formed in 64 bits; for every layer a host can hold they equal the 32-bit
    // ones, and beyond that they stay defined.
    const auto split = [index, count](int origin, int extent, int step) {
        return origin + static_cast<int>(static_cast<std::int64_t>(extent) *
                                         (static_cast<std::int64_t>(index) + step) / count);
    };
    if (direction == 0) {
        const int h = r.getHeight();
        return Rect(r.left, split(r.top, h, 0), r.right, split(r.top, h, 1));
    }
    const int w = r.getWidth();
    return Rect(split(r.left, w, 0), r.top, split(r.left, w, 1), r.bottom);
}

} // namespace Ondrel
