#include "Ondrel/Filter/OndrelDrawTarget.h"

#include <algorithm>

namespace Ondrel {

namespace {

// Written only by limitDrawTarget, while nothing draws; drawing threads only read it.
DrawTarget g_ceiling = DrawTarget::avx2;

// The processor is asked through the compiler's runtime, which reads CPUID and XGETBV (whether the
// system saves the wide registers) once as the module loads, in a constructor that has run before
// anything draws. Asking CPUID in each call instead costs microseconds where the system runs in a
// virtual machine, which traps the instruction: longer than drawing a short line takes.
DrawTarget processorTarget() {
#if ONDREL_AVX2_DISPATCH
    if (__builtin_cpu_supports("avx2")) {
        return DrawTarget::avx2;
    }
#endif
    return DrawTarget::baseline;
}

} // namespace

bool drawTargetBuilt(DrawTarget target) {
    return target == DrawTarget::baseline || ONDREL_AVX2_DISPATCH != 0;
}

DrawTarget drawTarget() {
    return std::min(processorTarget(), g_ceiling);
}

void limitDrawTarget(DrawTarget ceiling) {
    g_ceiling = ceiling;
}

} // namespace Ondrel
