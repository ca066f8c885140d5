// GDI+ with what its headers need under WIN32_LEAN_AND_MEAN: include this, never gdiplus.h.
// Also the one conversion of script colours into GDI+ colours.
#pragma once

#include <windows.h>

#include <objidl.h>
#include <propidl.h>

#include <gdiplus.h>

#include <stdint.h>

namespace Volux {

// A script's 0xRRGGBB as an opaque GDI+ colour.
inline Gdiplus::Color OpaqueColour(int rgb) {
    return Gdiplus::Color(Gdiplus::ARGB(0xFF000000u | (uint32_t(rgb) & 0xFFFFFFu)));
}

} // namespace Volux
