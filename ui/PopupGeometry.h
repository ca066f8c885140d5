// Where the popup web windows (kinds 3 and 4) put their border, caption, title and close
// button, how their client area is cut out of the window, and where a kind-4 popup may move
// inside its parent. Plain arithmetic on rectangles, so it is checked without a window.
#pragma once

#include <windows.h>

namespace Volux {

// Caption height when there is neither a caption image nor a system caption to measure.
constexpr int _DEFAULT_CAPTION_HEIGHT = 27;
// How far the top of a kind-4 popup stays below its parent's top edge, beyond the margin.
constexpr int _POPUP_TOP_CLEARANCE = 50;
// The margin a kind-4 popup keeps from its parent's edges while the parent is maximised.
constexpr int _POPUP_MAXIMISED_MARGIN = 10;

struct CaptionLayout {
    RECT strips[4];     // top, left, right and bottom border strips, window coordinates
    int captionHeight;  // the caption image's height, else the system caption's, else 27
    RECT text;          // where the title is drawn
    RECT close;         // the close button; empty without a close image
};

// imageHeight < 0: no caption image; titleBarHeight: the system caption's height (bottom - top);
// closeWidth, closeHeight 0: no close button.
CaptionLayout LayoutCaption(int windowWidth, int windowHeight, int border, int imageHeight, int titleBarHeight,
                            int closeWidth, int closeHeight, int closeTop, int closeRight);

// The proposed window rectangle of WM_NCCALCSIZE, adjusted before the system cuts its own
// frame: out by the difference between the system's dialog frame and the border drawn, and
// at the top for the caption image instead of the system caption (when there is one).
RECT AdjustPopupClient(RECT proposed, int dialogFrameX, int dialogFrameY, int border, bool hasCaption,
                       int imageHeight, int captionHeight);

// The top-left corner a kind-4 popup of this size may take inside its parent's window
// rectangle. Where the parent is too small, the left and top limits win, so the caption stays
// reachable.
POINT ClampInsideParent(int x, int y, int width, int height, const RECT& parent, bool parentMaximised);

// True when the point lies strictly inside the rectangle (not on its edges).
bool StrictlyInside(const RECT& rect, int x, int y);

} // namespace Volux
