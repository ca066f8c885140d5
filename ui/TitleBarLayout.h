// The main window's geometry as plain functions: window styles from the flag word, the
// client area under a custom caption, the rows of title-bar buttons and the hit tests on
// them. Painting and mouse tracking both use these results.
#pragma once

#include <stdint.h>

namespace Volux {

struct LayoutRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Where a hidden button is: off every window, so it is never hit.
constexpr LayoutRect _HIDDEN_HIT_RECT = {-100, -100, -100, -100};
bool IsHiddenRect(const LayoutRect& rect);
bool StrictlyInside(const LayoutRect& rect, int x, int y);

struct MainWindowStyles {
    uint32_t style;
    uint32_t extendedStyle;
    bool child;      // flag 0x2: a child window, the client size is the window size
    bool resizable;  // cleared by flag 0x80
};
// Flags: 0x1 caption (else popup), 0x2 child, 0x4 tool and app window, 0x8 topmost, 0x10
// system menu, 0x20 maximise box (both only without the custom title bar), 0x80 not resizable.
MainWindowStyles MainWindowStylesFor(uint32_t flags, bool customTitleBar);

// System metrics and caption values the caption geometry needs.
struct CaptionMetrics {
    int frameX;         // SM_CXFRAME, or SM_CXDLGFRAME when not resizable
    int frameY;         // SM_CYFRAME, or SM_CYDLGFRAME
    int borderWidth;
    int captionOffset;  // extra height of the custom caption
};
// The cached caption offset from the system caption's rectangle (top, bottom in screen
// coordinates): border + title image height + caption top - frame - caption bottom.
int CaptionOffset(int borderWidth, int titleHeight, int captionTop, int captionBottom, int frameY);
// WM_NCCALCSIZE: the system's client rectangle (under its own caption and frame) reshaped for
// the custom caption.
LayoutRect CustomClientRect(const LayoutRect& proposed, bool maximised, const CaptionMetrics& metrics);

// WM_NCHITTEST under the custom caption: the system's caption buttons are caption.
int CustomCaptionHit(int systemHit);

// A double click on the caption maximises only a window that is not maximised, and only above
// the menu rows: y at most windowTop + offset + menuTop.
bool DoubleClickMaximises(int y, int windowTop, int offset, int menuTop, bool maximised);

// visibleIn bit for the mode: 1 while maximised, 2 otherwise.
inline uint8_t VisibleBit(bool maximised) { return maximised ? 1 : 2; }

// One button as the row layout sees it: the size of the image of its current look (0 x 0
// without one) and of its text (0 width without one; the width already holds the 15 pixels
// of padding), and whether it is shown in the current mode.
struct RowItem {
    int imageWidth = 0;
    int imageHeight = 0;
    int textWidth = 0;
    int textHeight = 0;
    uint8_t visibleIn = 0;
};
struct RowPlacement {
    LayoutRect hit;  // _HIDDEN_HIT_RECT when the button is not laid out
    int imageX = 0;  // where the image goes (y is the row's)
    int textX = 0;   // where the text and its background go
};
// Lays a row out from x at y, left-to-right (the left row) or right-to-left (the right and
// system rows, x being the right end), each button after a gap of spacing. A button is laid
// out only with an image or a text and when visible in the mode. count items in, count out.
void LayoutRow(const RowItem* items, RowPlacement* placements, int count, int x, int y, int spacing, bool rightToLeft,
               bool maximised);

// How often the middle title image repeats to fill the bar between its ends.
int TitleMiddleRepeats(int windowWidth, int offset, int leftWidth, int rightWidth, int middleWidth);

// The look a title-bar button takes when the cursor comes over it: 1, or 2 when its state has
// the alternate bit 0x10.
uint8_t HoverLook(uint8_t state);

} // namespace Volux
