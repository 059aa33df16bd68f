// Which code drawing runs, chosen in every call by what the processor has: on x86-64, the drawing
// loop is also compiled for AVX2, which draws most shapes a tenth to a fifth faster (measured by
// the drawing benchmark). Both paint the same pixels: the same operations, each rounded alike.
//
// Evaluating several pixels of a row at once in vector registers (two, four or eight doubles
// wide) was measured no faster: the row runs leave only a pixel or three of partial coverage
// together, and the rest is painted by copying.
#pragma once

// Whether this build has the AVX2 code. Not on macOS: the runtime of the compiler that builds it
// there keeps no record of the processor's features to ask, and asking CPUID in each call would
// cost microseconds in a virtual machine.
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__) && !defined(__APPLE__)
#define ONDREL_AVX2_DISPATCH 1
#else
#define ONDREL_AVX2_DISPATCH 0
#endif

namespace Ondrel {

enum class DrawTarget {
    baseline, // the architecture's baseline instructions
    avx2,     // x86-64 processors with AVX2
};

// Whether this build has code for the target.
bool drawTargetBuilt(DrawTarget target);

// The target drawing runs: the widest built that the processor runs, no wider than the ceiling.
DrawTarget drawTarget();

// Sets the ceiling, for comparing the targets with one another (the widest by default). Set it
// only while nothing draws.
void limitDrawTarget(DrawTarget ceiling);

} // namespace Ondrel
