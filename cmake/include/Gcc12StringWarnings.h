// Given first to every source that GCC 12 compiles (CMakeLists.txt). At -O3, GCC 12 reports
// impossible overlaps (-Wrestrict) and out-of-bounds copies (-Warray-bounds) inside <string>'s own
// inlined code, wherever two strings are joined (GCC bugs 105329 and 105651, mended in GCC 13).
// The warnings are attributed to the header's lines, so silencing them while it is included keeps
// them silent there, and there alone: our own code still gets both.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
#pragma GCC diagnostic ignored "-Warray-bounds"
#include <string>
#pragma GCC diagnostic pop
