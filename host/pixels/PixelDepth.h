#pragma once

namespace OfflineHost {

// The three depths of the host's worlds: PF_Pixel, PF_Pixel16 and PF_PixelFloat.
enum class PixelDepth { Bits8, Bits16, Float32 };

} // namespace OfflineHost
