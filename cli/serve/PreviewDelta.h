#pragma once

// Previews as changes to one the page already shows. The service numbers every preview it
// answers and remembers the last few; a request that names the one the page shows as its base,
// at the same size, is answered with only the rectangle of pixels that differ from it. Moving a
// shape changes a small part of a large frame, and bytes are most of what a large preview costs
// the browser.

#include "AE_Effect.h"

#include <cstdint>
#include <deque>
#include <string>

namespace OndrelCli {

// A rectangle of an image; an empty one (0 x 0) where nothing changed.
struct ChangedRect {
    A_long x = 0;
    A_long y = 0;
    A_long width = 0;
    A_long height = 0;
};

// The smallest rectangle outside which two RGBA images of width x height are equal.
ChangedRect changedRect(const std::string& before, const std::string& after, A_long width,
                        A_long height);

// The rectangle's rows of an RGBA image `width` pixels wide, one after another.
std::string cropRgba(const std::string& rgba, A_long width, const ChangedRect& rect);

// The previews answered last, by number.
class SentPreviews {
public:
    struct Sent {
        std::uint64_t number;
        A_long width;
        A_long height;
        std::string rgba;
    };

    // Remembers the preview and returns its number (from 1 on).
    std::uint64_t remember(A_long width, A_long height, std::string rgba);
    // Storage for the next preview's bytes: the last forgotten preview's, so that a large frame
    // is not asked of the system, which zeroes it page by page, for every preview.
    std::string spare();
    // The preview of that number if it is still remembered, or null.
    const Sent* find(std::uint64_t number) const;

private:
    // The page shows one preview; a second covers one answered while the page asked again.
    static constexpr std::size_t kept = 2;
    std::deque<Sent> m_sent;
    std::string m_spare;
    std::uint64_t m_last = 0;
};

} // namespace OndrelCli
