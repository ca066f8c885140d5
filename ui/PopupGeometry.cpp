#include "ui/PopupGeometry.h"

namespace Volux {

CaptionLayout LayoutCaption(int windowWidth, int windowHeight, int border, int imageHeight, int titleBarHeight,
                            int closeWidth, int closeHeight, int closeTop, int closeRight) {
    const int w = windowWidth;
    const int h = windowHeight;
    const int b = border;
    CaptionLayout layout = {};
    layout.strips[0] = RECT{0, 0, w, b};
    layout.strips[1] = RECT{0, 0, b, h};
    layout.strips[2] = RECT{w - b, 0, w, h};
    layout.strips[3] = RECT{0, h - b, w, h};
    if (imageHeight >= 0)
        layout.captionHeight = imageHeight;
    else
        layout.captionHeight = titleBarHeight > 0 ? titleBarHeight : _DEFAULT_CAPTION_HEIGHT;
    layout.text = RECT{b + 8, b + 4, w - 2 * b, b + layout.captionHeight};
    if (closeWidth > 0 && closeHeight > 0) {
        const int right = w - closeRight - b;
        const int top = b + closeTop;
        layout.close = RECT{right - closeWidth, top, right, top + closeHeight};
    }
    return layout;
}

RECT AdjustPopupClient(RECT proposed, int dialogFrameX, int dialogFrameY, int border, bool hasCaption,
                       int imageHeight, int captionHeight) {
    const int d = dialogFrameX - border;
    proposed.left -= d;
    proposed.right += d;
    proposed.bottom += d;
    if (hasCaption)
        proposed.top += border + imageHeight - captionHeight - dialogFrameY;
    return proposed;
}

POINT ClampInsideParent(int x, int y, int width, int height, const RECT& parent, bool parentMaximised) {
    const int g = parentMaximised ? _POPUP_MAXIMISED_MARGIN : 0;
    if (x > parent.right - width - g)
        x = parent.right - width - g;
    if (x < parent.left + g)
        x = parent.left + g;
    if (y > parent.bottom - height - g)
        y = parent.bottom - height - g;
    if (y < parent.top + g + _POPUP_TOP_CLEARANCE)
        y = parent.top + g + _POPUP_TOP_CLEARANCE;
    return POINT{x, y};
}

bool StrictlyInside(const RECT& rect, int x, int y) {
    return x > rect.left && x < rect.right && y > rect.top && y < rect.bottom;
}

} // namespace Volux
