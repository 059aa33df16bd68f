// Previews as changes to the one the page shows: the changed rectangle against a pixel-by-pixel
// search, from a fresh seed (ONDREL_EQUIVALENCE_SEED repeats one); the base put back together
// with the rectangle is the new frame; and the service answers with a rectangle only for a base
// it remembers at the same size.

#include "cli/serve/PreviewDelta.h"
#include "cli/serve/PreviewService.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

namespace {

using OndrelCli::ChangedRect;

// Every pixel compared: the bounds of those that differ.
ChangedRect slowChangedRect(const std::string& before, const std::string& after, A_long width,
                            A_long height) {
    A_long left = width, top = height, right = 0, bottom = 0;
    for (A_long y = 0; y < height; ++y) {
        for (A_long x = 0; x < width; ++x) {
            const std::size_t at = 4 * (static_cast<std::size_t>(y) * width + x);
            if (before.compare(at, 4, after, at, 4) != 0) {
                left = std::min(left, x);
                top = std::min(top, y);
                right = std::max(right, x + 1);
                bottom = std::max(bottom, y + 1);
            }
        }
    }
    return right == 0 ? ChangedRect{} : ChangedRect{left, top, right - left, bottom - top};
}

// The rectangle's rows written over the base.
std::string applied(std::string base, A_long width, const ChangedRect& rect,
                    const std::string& rows) {
    for (A_long y = 0; y < rect.height; ++y) {
        base.replace(4 * ((static_cast<std::size_t>(rect.y) + y) * width + rect.x),
                     4 * static_cast<std::size_t>(rect.width), rows,
                     4 * static_cast<std::size_t>(y) * rect.width,
                     4 * static_cast<std::size_t>(rect.width));
    }
    return base;
}

std::string describe(const ChangedRect& r) {
    return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
           std::to_string(r.height);
}

TEST(PreviewDelta, TheChangedRectangleIsTheBoundsOfEveryChangedPixel) {
    const char* given = std::getenv("ONDREL_EQUIVALENCE_SEED");
    const std::uint64_t seed =
        given != nullptr ? std::strtoull(given, nullptr, 10) : std::random_device{}();
    SCOPED_TRACE("ONDREL_EQUIVALENCE_SEED=" + std::to_string(seed));
    std::mt19937_64 random(seed);
    const auto below = [&](A_long n) {
        return static_cast<A_long>(std::uniform_int_distribution<A_long>(0, n - 1)(random));
    };
    for (int round = 0; round < 400; ++round) {
        const A_long width = 1 + below(40);
        const A_long height = 1 + below(30);
        std::string before(4 * static_cast<std::size_t>(width) * height, '\0');
        for (char& c : before) {
            c = static_cast<char>(below(256));
        }
        std::string after = before;
        // None, one, or a few pixels changed, in one byte each, edges included.
        const int changes = round % 4 == 0 ? 0 : 1 + below(4);
        for (int i = 0; i < changes; ++i) {
            const std::size_t at = 4 * (static_cast<std::size_t>(below(height)) * width +
                                        static_cast<std::size_t>(below(width))) +
                                   static_cast<std::size_t>(below(4));
            after[at] = static_cast<char>(after[at] ^ (1 + below(255)));
        }
        const ChangedRect fast = OndrelCli::changedRect(before, after, width, height);
        const ChangedRect slow = slowChangedRect(before, after, width, height);
        ASSERT_EQ(describe(fast), describe(slow)) << width << "x" << height;
        ASSERT_EQ(applied(before, width, fast, OndrelCli::cropRgba(after, width, fast)), after);
    }
}

TEST(PreviewDelta, RemembersTheLastTwoPreviews) {
    OndrelCli::SentPreviews sent;
    const auto first = sent.remember(2, 1, "abcdefgh");
    const auto second = sent.remember(1, 1, "ijkl");
    ASSERT_NE(sent.find(first), nullptr);
    EXPECT_EQ(sent.find(first)->rgba, "abcdefgh");
    EXPECT_EQ(sent.find(second)->width, 1);
    const auto third = sent.remember(1, 1, "mnop");
    EXPECT_EQ(sent.find(first), nullptr);
    EXPECT_NE(sent.find(second), nullptr);
    EXPECT_NE(sent.find(third), nullptr);
    EXPECT_EQ(sent.find(0), nullptr);
}

TEST(PreviewDelta, AForgottenPreviewLendsItsStorageToTheNextOnce) {
    OndrelCli::SentPreviews sent;
    const std::string frame(4 * 32 * 32, 'x');
    const auto first = sent.remember(32, 32, frame);
    const char* storage = sent.find(first)->rgba.data();
    sent.remember(32, 32, frame);
    sent.remember(32, 32, frame);
    EXPECT_EQ(sent.spare().data(), storage);
    EXPECT_TRUE(sent.spare().empty());
}

OndrelCli::Json circle(double radius, const char* size = "64x36") {
    return OndrelCli::Json{{"recipe",
                            {{"effect", "OndrelCircle"},
                             {"size", size},
                             {"params", {{"Radius", radius}, {"Center", {20, 14}}}}}}};
}

TEST(PreviewDelta, TheServiceAnswersWithWhatChangedSinceABaseItRemembers) {
    OndrelCli::PreviewService service{OndrelCli::GlobalOptions{ONDREL_MODULE_PATH}, std::nullopt};
    const auto first = service.preview(circle(6));
    ASSERT_TRUE(first);
    EXPECT_FALSE(first->changed);

    OndrelCli::Json request = circle(9);
    request["base"] = first->number;
    const auto second = service.preview(request);
    ASSERT_TRUE(second && second->changed);
    EXPECT_EQ(second->base, first->number);
    // A circle of 9 around (20, 14) over one of 6: the pixels from 11 to 29 across and 5 to 23
    // down can change, and the edge rows of that square only in the circle's middle.
    const ChangedRect& rect = *second->changed;
    EXPECT_GE(rect.x, 10);
    EXPECT_LE(rect.x + rect.width, 30);
    EXPECT_GE(rect.y, 4);
    EXPECT_LE(rect.y + rect.height, 24);
    OndrelCli::PreviewService fresh{OndrelCli::GlobalOptions{ONDREL_MODULE_PATH}, std::nullopt};
    EXPECT_EQ(applied(first->rgba, 64, rect, second->rgba), fresh.preview(circle(9))->rgba);

    // The same again: nothing changed.
    request["base"] = second->number;
    EXPECT_EQ(describe(*service.preview(request)->changed), describe(ChangedRect{}));

    // A base of another size, or one no longer remembered, gets the whole frame.
    request = circle(9, "32x18");
    request["base"] = second->number;
    EXPECT_FALSE(service.preview(request)->changed);
    request = circle(9);
    request["base"] = first->number;
    const auto whole = service.preview(request);
    EXPECT_FALSE(whole->changed);
    EXPECT_EQ(whole->rgba.size(), 64u * 36 * 4);
}

} // namespace
