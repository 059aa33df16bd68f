#pragma once

// Pixel copying, filling and transfer-mode compositing of the offline host's worlds.
//
// All three operations work on straight (not premultiplied) ARGB pixels of one depth, given
// by the caller for both worlds. Rectangles are PF_LRect with right and bottom exclusive, in
// the world's own pixel coordinates; every operation is clipped to the worlds it touches, so
// rectangles and offsets may lie partly or wholly outside them (nothing outside is read or
// written). A world needs non-null data aligned to its channel size, non-negative width and
// height, and row bytes of at least width times the pixel size, a whole number of channels;
// otherwise the call returns PF_Err_BAD_CALLBACK_PARAM and writes nothing. Source and destination
// may be the same world or overlap in memory.

#include "host/pixels/PixelDepth.h"

#include "AE_EffectCB.h"

namespace OfflineHost {

// Copies srcRect of src (the whole world when null) to dstRect of dst (the whole world when
// null). When the two rectangles differ in size, the part they have in common when both are
// aligned at their top-left corners is copied.
PF_Err copyRect(const PF_EffectWorld& src, PF_EffectWorld& dst, const PF_LRect* srcRect,
                const PF_LRect* dstRect, PixelDepth depth);

// Composites srcRect of src (the whole world when null) onto dst with its top-left corner at
// (dstX, dstY), with the transfer mode, opacity (opacity / 255 at 8 bits, opacitySu / 32768 at
// 16 and 32 bits), rgb_only (keep the destination's alpha) and rand_seed (dissolve) of mode.
// Colours combine by straight-alpha source-over with the W3C Compositing and Blending blend
// functions (where a world cannot hold values above 1, the sum of "Add" is clamped to 1 before
// the mix); the classic dodge, burn and difference use the older formulas on clamped values;
// dissolve puts the source at full alpha on each destination pixel whose hash of (x, y,
// rand_seed) lies below the source's alpha times the opacity and leaves the others unchanged
// (formulas in Blend*.h).
// A transfer mode the host does not composite returns PF_Err_BAD_CALLBACK_PARAM and leaves dst
// untouched.
PF_Err transferRect(const PF_EffectWorld& src, const PF_LRect* srcRect,
                    const PF_CompositeMode& mode, A_long dstX, A_long dstY, PF_EffectWorld& dst,
                    PixelDepth depth);

// Fills rect of dst (the whole world when null) with *pixel, which is a PF_Pixel, PF_Pixel16 or
// PF_PixelFloat according to depth.
PF_Err fillRect(PF_EffectWorld& dst, const PF_LRect* rect, const void* pixel, PixelDepth depth);

} // namespace OfflineHost
