// Frame geometry and the choices painting makes, as plain functions over plain data: the
// window procedure, the painter and the tests all use these, so what is hit is what is drawn.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace Volux {

struct FrameRect {
    int left = 0;
    int top = 0;
    int right = 0;   // x + width
    int bottom = 0;  // y + height
};

// Positions and sizes a script may give a window or an element: what the system accepts
// without overflowing its 16-bit coordinate space.
constexpr int _FRAME_MAX_POSITION = 30000;
constexpr int _FRAME_MAX_EXTENT = 8192;

int ClampFramePosition(int value);
// Negative sizes are none; huge ones stop at the ceiling.
int ClampFrameExtent(int value);

// From a script's x, y, width, height, clamped as above.
FrameRect MakeFrameRect(int x, int y, int width, int height);

// Every containment test of a frame is strict: a point on the border is outside.
bool StrictlyContains(const FrameRect& rect, int x, int y);

// Window style and extended style for a frame's type: 0 or 1 a popup with system menu and
// minimise box, 2 a tool popup, anything else no style.
struct FrameStyles {
    uint32_t style;
    uint32_t extendedStyle;
};
FrameStyles FrameStylesForType(int type);

// The look a button shows in a state (0 up, 1 hover, 2 down): the state's image when it has
// one, else the up image.
enum ButtonLook { _LOOK_UP = 0, _LOOK_HOVER = 1, _LOOK_DOWN = 2 };
ButtonLook ButtonLookFor(int state, bool hasHover, bool hasDown);

// Label alignment 0 left, 1 centre, 2 right; anything else is left. The DrawText format,
// with word breaks.
uint32_t LabelTextFormat(int alignment);

// 0xRRGGBB from a script into a COLORREF (0x00BBGGRR).
uint32_t ColourRefFromRgb(int rgb);

// Where the filled part of a bar of this width ends: width x progress, progress clamped to
// 0..1.
int ProgressSplit(int width, float progress);

// The figure a bar shows, "%3.0f%%" of progress x 100, into text (at least 8 units).
void ProgressFigure(float progress, char16_t* text, int capacity);

// Checks bytes that claim to be RGNDATA (a 32-byte header of rectangles, then the
// rectangles): the header size, its type, a count that is non-zero and fits the bytes.
bool IsRegionData(const void* bytes, size_t size);

} // namespace Volux
