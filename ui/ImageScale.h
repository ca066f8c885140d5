// Stretching premultiplied 32-bit pixels with a bilinear filter. Samples beyond the source's
// edges repeat the edge pixels, so a stretched image keeps hard, opaque borders.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace Volux {

// Fills targetWidth x targetHeight pixels (rows of targetWidth) from sourceWidth x
// sourceHeight pixels whose rows are sourceStride pixels apart. Nothing is written when a
// size is not positive or the stride is shorter than a row.
void StretchPixels(const uint32_t* source, int sourceWidth, int sourceHeight, size_t sourceStride, uint32_t* target,
                   int targetWidth, int targetHeight);

} // namespace Volux
