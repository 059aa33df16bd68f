// Runs a drawer over horizontal bands of its destination layer on the host's worker threads: one
// band per thread the host reports, band i drawn by iteration i of the host's generic iteration.
#pragma once

#include "AE_Effect.h"
#include "AE_EffectCBSuites.h"
#include "AE_GeneralPlug.h"
#include "Ondrel/OndrelGeneral.h"
#include "Ondrel/OndrelLayer.h"
#include "Util/AEGP_SuiteHandler.h"

#include <algorithm>
#include <string>

namespace Ondrel {

// Band index of count of r: direction 0 splits r into rows, any other direction into columns.
// Consecutive bands abut, together they make r, and their sizes differ by at most one; a count
// below 1 gives an empty band.
Rect getSegmentedRegion(const Rect& r, int index, int count, int direction);

// What the host hands to each iteration; lives on IterateFilter's stack during the host call.
template <typename Drawer>
struct IterateFilterContext {
    const Drawer* drawer;
    std::string name;
    Layer* source;
    Layer* destination;
};

// The host's per-iteration callback. Bands are disjoint, so iterations need no locking.
template <typename Drawer>
PF_Err IterateFilterImpl(void* refcon, A_long /*threadIndex*/, A_long i, A_long count) noexcept {
    const auto* context = static_cast<const IterateFilterContext<Drawer>*>(refcon);
    context->drawer->execute(context->name, *context->source, *context->destination, i, count);
    return PF_Err_NONE;
}

// Draws the drawer's pass `name` into destination, one band per host thread, and returns when all
// bands are done. A missing suite escapes as the suite handler's exception.
template <typename Drawer>
PF_Err IterateFilter(PF_InData* inData, const std::string& name, Layer& source, Layer& destination,
                     const Drawer& drawer) {
    AEGP_SuiteHandler suites(inData->pica_basicP);
    A_long threads = 0;
    const PF_Err err = suites.IterateSuite1()->AEGP_GetNumThreads(&threads);
    if (err != PF_Err_NONE) {
        return err;
    }
    // A host that reports no threads still gets the whole layer drawn, as one band.
    threads = std::max<A_long>(threads, 1);
    IterateFilterContext<Drawer> context{&drawer, name, &source, &destination};
    return suites.Iterate8Suite1()->iterate_generic(threads, &context, &IterateFilterImpl<Drawer>);
}

} // namespace Ondrel
