// The call log's text: the host formats every argument itself, and must print it exactly as a
// standard output stream would.

#include "host/callbacks/CallbackSupport.h"

#include "AE_Effect.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <sstream>
#include <string>

namespace {

template <typename... Args>
std::string streamed(const Args&... args) {
    std::ostringstream out;
    ((out << args), ...);
    return out.str();
}

TEST(CallLogText, PrintsEveryArgumentAsAStreamDoes) {
    const char* name = "PF World Suite";
    const std::string text = "rect=(0,0,4,4)";
    const A_long negative = -2147483647 - 1;
    const A_u_long large = 4294967295u;
    const A_u_short opacitySu = 32768;
    const short small = -7;
    const std::int64_t size = 9223372036854775807LL;
    const unsigned char byte = 'B';
    EXPECT_EQ(OfflineHost::describe("\"", name, "\" v", 2), streamed("\"", name, "\" v", 2));
    EXPECT_EQ(OfflineHost::describe(text, " at ", negative, ",", large, " su=", opacitySu),
              streamed(text, " at ", negative, ",", large, " su=", opacitySu));
    EXPECT_EQ(OfflineHost::describe(small, size, byte, 'x', 0),
              streamed(small, size, byte, 'x', 0));
    EXPECT_EQ(OfflineHost::describe(), "");
}

TEST(CallLogText, HexadecimalIsTheStreamsToo) {
    for (const A_long flags : {0, 1, 0x2A, 0x7FFFFFFF, -1, INT_MIN}) {
        std::ostringstream out;
        out << std::hex << flags;
        EXPECT_EQ(OfflineHost::hexText(flags), out.str()) << flags;
    }
}

} // namespace
