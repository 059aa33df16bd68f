// The packed version word: major in bits 19-21 (higher majors continue at bit 26), minor in
// bits 15-18, fix level in 11-14, stage in 9-10, build in 0-8.

#include "AE_Effect.h"

#include <gtest/gtest.h>

namespace {

A_u_long packByHand(A_u_long major, A_u_long minor, A_u_long fix, A_u_long stage, A_u_long build) {
    return ((major >> 3) << 26) | ((major & 7u) << 19) | (minor << 15) | (fix << 11) |
           (stage << 9) | build;
}

} // namespace

TEST(SdkVersion, PacksReleaseOneZeroZeroBuildOne) {
    EXPECT_EQ(PF_VERSION(1, 0, 0, PF_Stage_RELEASE, 1), 0x80601u);
}

TEST(SdkVersion, PacksEveryFieldAtItsBits) {
    EXPECT_EQ(PF_VERSION(7, 15, 15, PF_Stage_BETA, 511), packByHand(7, 15, 15, 2, 511));
    EXPECT_EQ(PF_VERSION(13, 2, 1, PF_Stage_ALPHA, 300), packByHand(13, 2, 1, 1, 300));
    // Out-of-range fields are masked, never spilled into their neighbours.
    EXPECT_EQ(PF_VERSION(1, 16, 16, 4, 512), packByHand(1, 0, 0, 0, 0));
}

TEST(SdkVersion, UnpacksWhatItPacked) {
    const A_u_long majors[] = {0, 1, 7, 8, 13, 127};
    for (A_u_long major : majors) {
        const A_u_long v = PF_VERSION(major, 9, 4, PF_Stage_RELEASE, 257);
        EXPECT_EQ(PF_Version_VERS(v), major);
        EXPECT_EQ(PF_Version_SUBVERS(v), 9u);
        EXPECT_EQ(PF_Version_BUGFIX(v), 4u);
        EXPECT_EQ(PF_Version_STAGE(v), static_cast<A_u_long>(PF_Stage_RELEASE));
        EXPECT_EQ(PF_Version_BUILD(v), 257u);
    }
}
