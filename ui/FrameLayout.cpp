#include "ui/FrameLayout.h"

#include "Common/LittleEndian.h"
#include "Common/StringFormatter.h"

namespace Volux {

namespace {
constexpr uint32_t _WS_POPUP = 0x80000000u;
constexpr uint32_t _WS_SYSMENU = 0x00080000u;
constexpr uint32_t _WS_MINIMIZEBOX = 0x00020000u;
constexpr uint32_t _WS_EX_TOOLWINDOW = 0x00000080u;
constexpr uint32_t _DT_WORDBREAK = 0x10u;
} // namespace

int ClampFramePosition(int value) {
    return value < -_FRAME_MAX_POSITION ? -_FRAME_MAX_POSITION : value > _FRAME_MAX_POSITION ? _FRAME_MAX_POSITION : value;
}

int ClampFrameExtent(int value) { return value < 0 ? 0 : value > _FRAME_MAX_EXTENT ? _FRAME_MAX_EXTENT : value; }

FrameRect MakeFrameRect(int x, int y, int width, int height) {
    int left = ClampFramePosition(x);
    int top = ClampFramePosition(y);
    return FrameRect{left, top, left + ClampFrameExtent(width), top + ClampFrameExtent(height)};
}

bool StrictlyContains(const FrameRect& rect, int x, int y) {
    return rect.left < x && x < rect.right && rect.top < y && y < rect.bottom;
}

FrameStyles FrameStylesForType(int type) {
    if (type == 0 || type == 1)
        return FrameStyles{_WS_POPUP | _WS_SYSMENU | _WS_MINIMIZEBOX, 0};
    if (type == 2)
        return FrameStyles{_WS_POPUP, _WS_EX_TOOLWINDOW};
    return FrameStyles{0, 0};
}

ButtonLook ButtonLookFor(int state, bool hasHover, bool hasDown) {
    if (state == 1 && hasHover)
        return _LOOK_HOVER;
    if (state == 2 && hasDown)
        return _LOOK_DOWN;
    return _LOOK_UP;
}

uint32_t LabelTextFormat(int alignment) {
    // DT_LEFT 0, DT_CENTER 1, DT_RIGHT 2.
    uint32_t format = alignment == 1 || alignment == 2 ? uint32_t(alignment) : 0u;
    return format | _DT_WORDBREAK;
}

uint32_t ColourRefFromRgb(int rgb) {
    uint32_t value = uint32_t(rgb);
    return ((value & 0xFFu) << 16) | (value & 0xFF00u) | ((value >> 16) & 0xFFu);
}

namespace {
float ClampProgress(float progress) {
    // NaN fails both comparisons and counts as no progress.
    if (!(progress > 0.0f))
        return 0.0f;
    return progress > 1.0f ? 1.0f : progress;
}
} // namespace

int ProgressSplit(int width, float progress) {
    if (width <= 0)
        return 0;
    return int(float(width) * ClampProgress(progress));
}

void ProgressFigure(float progress, char16_t* text, int capacity) {
    if (text == nullptr || capacity <= 0)
        return;
    FormatBuffer(text, capacity, u"%3.0f%%", double(ClampProgress(progress)) * 100.0);
}

bool IsRegionData(const void* bytes, size_t size) {
    constexpr size_t _HEADER = 32;  // RGNDATAHEADER
    constexpr size_t _RECT = 16;
    constexpr _dword _RECTANGLES = 1;  // RDH_RECTANGLES
    if (bytes == nullptr || size < _HEADER)
        return false;
    const auto* p = static_cast<const _byte*>(bytes);
    if (ReadU32LE(p) != _HEADER || ReadU32LE(p + 4) != _RECTANGLES)
        return false;
    const _dword count = ReadU32LE(p + 8);
    return count > 0 && count <= (size - _HEADER) / _RECT;
}

} // namespace Volux
