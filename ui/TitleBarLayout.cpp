#include "ui/TitleBarLayout.h"

namespace Volux {

namespace {
constexpr uint32_t _WS_CHILD = 0x40000000u;
constexpr uint32_t _WS_VISIBLE = 0x10000000u;
constexpr uint32_t _WS_POPUP = 0x80000000u;
constexpr uint32_t _WS_CAPTION = 0x00C00000u;
constexpr uint32_t _WS_SYSMENU = 0x00080000u;
constexpr uint32_t _WS_THICKFRAME = 0x00040000u;
constexpr uint32_t _WS_MINIMIZEBOX = 0x00020000u;
constexpr uint32_t _WS_MAXIMIZEBOX = 0x00010000u;
constexpr uint32_t _WS_EX_TOPMOST = 0x00000008u;
constexpr uint32_t _WS_EX_TOOLWINDOW = 0x00000080u;
constexpr uint32_t _WS_EX_APPWINDOW = 0x00040000u;
constexpr int _HT_CAPTION = 2;
constexpr int _HT_MINBUTTON = 8;
constexpr int _HT_MAXBUTTON = 9;
constexpr int _HT_CLOSE = 20;
} // namespace

bool IsHiddenRect(const LayoutRect& rect) {
    return rect.left == -100 && rect.top == -100 && rect.right == -100 && rect.bottom == -100;
}

bool StrictlyInside(const LayoutRect& rect, int x, int y) {
    return rect.left < x && x < rect.right && rect.top < y && y < rect.bottom;
}

MainWindowStyles MainWindowStylesFor(uint32_t flags, bool customTitleBar) {
    MainWindowStyles result = {0, 0, false, true};
    if ((flags & 0x2u) != 0) {
        result.style = _WS_CHILD | _WS_VISIBLE;
        result.child = true;
        return result;
    }
    if ((flags & 0x4u) != 0)
        result.extendedStyle |= _WS_EX_APPWINDOW | _WS_EX_TOOLWINDOW;
    if ((flags & 0x8u) != 0)
        result.extendedStyle |= _WS_EX_TOPMOST;
    result.style = (flags & 0x1u) != 0 ? _WS_CAPTION : _WS_POPUP;
    if (!customTitleBar) {
        if ((flags & 0x10u) != 0)
            result.style |= _WS_SYSMENU;
        if ((flags & 0x20u) != 0)
            result.style |= _WS_MAXIMIZEBOX;
    }
    if ((flags & 0x80u) != 0) {
        result.style |= _WS_MINIMIZEBOX;
        result.resizable = false;
    } else {
        result.style |= _WS_MINIMIZEBOX | _WS_THICKFRAME;
    }
    return result;
}

int CaptionOffset(int borderWidth, int titleHeight, int captionTop, int captionBottom, int frameY) {
    return borderWidth + titleHeight + captionTop - frameY - captionBottom;
}

LayoutRect CustomClientRect(const LayoutRect& proposed, bool maximised, const CaptionMetrics& m) {
    LayoutRect result = proposed;
    if (maximised) {
        result.top += m.frameY + m.captionOffset - m.borderWidth;
        return result;
    }
    const int edge = m.frameX - m.borderWidth;
    result.top += m.captionOffset;
    result.left -= edge;
    result.right += edge;
    result.bottom += edge;
    return result;
}

int CustomCaptionHit(int systemHit) {
    return systemHit == _HT_MINBUTTON || systemHit == _HT_MAXBUTTON || systemHit == _HT_CLOSE ? _HT_CAPTION : systemHit;
}

bool DoubleClickMaximises(int y, int windowTop, int offset, int menuTop, bool maximised) {
    return !maximised && y <= windowTop + offset + menuTop;
}

void LayoutRow(const RowItem* items, RowPlacement* placements, int count, int x, int y, int spacing, bool rightToLeft,
               bool maximised) {
    const uint8_t bit = VisibleBit(maximised);
    for (int i = 0; i < count; i++) {
        const RowItem& item = items[i];
        RowPlacement& place = placements[i];
        const bool drawable = item.imageWidth > 0 || item.textWidth > 0;
        if (!drawable || (item.visibleIn & bit) == 0) {
            place.hit = _HIDDEN_HIT_RECT;
            place.imageX = place.textX = -100;
            continue;
        }
        const int height = item.imageHeight > item.textHeight ? item.imageHeight : item.textHeight;
        if (!rightToLeft) {
            x += spacing;
            place.imageX = x;
            place.textX = x + item.imageWidth;
            place.hit = LayoutRect{x, y, x + item.imageWidth + item.textWidth, y + height};
            x += item.imageWidth + item.textWidth;
        } else {
            x -= spacing;
            const int right = x;
            x -= item.textWidth;
            place.textX = x;
            x -= item.imageWidth;
            place.imageX = x;
            place.hit = LayoutRect{x, y, right, y + height};
        }
    }
}

int TitleMiddleRepeats(int windowWidth, int offset, int leftWidth, int rightWidth, int middleWidth) {
    if (middleWidth <= 0)
        return 0;
    const int span = windowWidth - 2 * offset - rightWidth - leftWidth;
    return span < 0 ? 1 : span / middleWidth + 1;
}

uint8_t HoverLook(uint8_t state) { return (state & 0x10u) != 0 ? 2 : 1; }

} // namespace Volux
