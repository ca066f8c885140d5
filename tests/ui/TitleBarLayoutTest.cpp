#include <gtest/gtest.h>

#include "ui/TitleBarLayout.h"

namespace Volux {
namespace {

TEST(TitleBarLayout, StylesFromTheFlagWord) {
    struct Case {
        uint32_t flags;
        bool custom;
        uint32_t style, extended;
        bool resizable;
    } cases[] = {
        {0x71, false, 0x00CF0000u, 0, true},  // caption, system menu, maximise, minimise + thick frame
        {0x71, true, 0x00C60000u, 0, true},   // the custom bar drops system menu and maximise box
        {0xF1, false, 0x00CB0000u, 0, false}, // 0x80: no thick frame, not resizable
        {0x00, false, 0x80060000u, 0, true},  // no caption: popup
        {0x0D, false, 0x00C60000u, 0x00040088u, true},
        {0x02, false, 0x50000000u, 0, true},  // a child: visible, nothing else
    };
    for (const Case& c : cases) {
        MainWindowStyles styles = MainWindowStylesFor(c.flags, c.custom);
        EXPECT_EQ(styles.style, c.style) << std::hex << c.flags << " " << c.custom;
        EXPECT_EQ(styles.extendedStyle, c.extended) << std::hex << c.flags;
        EXPECT_EQ(styles.resizable, c.resizable) << std::hex << c.flags;
        EXPECT_EQ(styles.child, c.flags == 0x02);
    }
}

TEST(TitleBarLayout, CaptionGeometryNormalAndMaximised) {
    // System caption 19 high under a 4-pixel frame; border 2, title image 36.
    const int offset = CaptionOffset(2, 36, 104, 123, 4);
    EXPECT_EQ(offset, 15);
    const CaptionMetrics metrics = {4, 4, 2, offset};
    // The system's client rectangle of a window at (100, 100)-(900, 700).
    const LayoutRect system = {104, 123, 896, 696};
    LayoutRect normal = CustomClientRect(system, false, metrics);
    EXPECT_EQ(normal.left, 102);   // the border only
    EXPECT_EQ(normal.top, 138);    // border + title image under the window top
    EXPECT_EQ(normal.right, 898);
    EXPECT_EQ(normal.bottom, 698);
    LayoutRect maximised = CustomClientRect(system, true, metrics);
    EXPECT_EQ(maximised.left, 104);
    EXPECT_EQ(maximised.top, 123 + 4 + 15 - 2);
    EXPECT_EQ(maximised.right, 896);
}

TEST(TitleBarLayout, CaptionHitsAndDoubleClicks) {
    EXPECT_EQ(CustomCaptionHit(8), 2);
    EXPECT_EQ(CustomCaptionHit(9), 2);
    EXPECT_EQ(CustomCaptionHit(20), 2);
    EXPECT_EQ(CustomCaptionHit(1), 1);
    EXPECT_EQ(CustomCaptionHit(17), 17);  // sizing borders stay
    EXPECT_TRUE(DoubleClickMaximises(110, 100, 2, 8, false));
    EXPECT_FALSE(DoubleClickMaximises(111, 100, 2, 8, false));  // down among the menu rows
    EXPECT_FALSE(DoubleClickMaximises(101, 100, 2, 8, true));   // no restore by double click
}

TEST(TitleBarLayout, RowsLeftToRightAndRightToLeft) {
    RowItem items[4];
    items[0] = {20, 10, 0, 0, 255};   // image only
    items[1] = {0, 0, 0, 0, 255};     // nothing to draw: hidden
    items[2] = {10, 10, 40, 14, 255}; // image and text, the text taller
    items[3] = {20, 10, 0, 0, 1};     // only while maximised
    RowPlacement placed[4];
    LayoutRow(items, placed, 4, 5, 3, 2, false, false);
    EXPECT_EQ(placed[0].hit.left, 7);
    EXPECT_EQ(placed[0].hit.right, 27);
    EXPECT_TRUE(IsHiddenRect(placed[1].hit));
    EXPECT_EQ(placed[2].imageX, 29);
    EXPECT_EQ(placed[2].textX, 39);
    EXPECT_EQ(placed[2].hit.right, 79);
    EXPECT_EQ(placed[2].hit.bottom, 3 + 14);
    EXPECT_TRUE(IsHiddenRect(placed[3].hit));

    LayoutRow(items, placed, 4, 100, 0, 2, true, true);
    EXPECT_EQ(placed[0].hit.right, 98);
    EXPECT_EQ(placed[0].hit.left, 78);
    EXPECT_EQ(placed[2].textX, 76 - 40);
    EXPECT_EQ(placed[2].imageX, 26);
    EXPECT_EQ(placed[2].hit.right, 76);
    EXPECT_EQ(placed[3].hit.right, 24);  // shown while maximised
    EXPECT_FALSE(StrictlyInside(_HIDDEN_HIT_RECT, -100, -100));
}

TEST(TitleBarLayout, MiddleRepeatsAndHoverLooks) {
    EXPECT_EQ(TitleMiddleRepeats(800, 2, 120, 120, 16), (800 - 4 - 240) / 16 + 1);
    EXPECT_EQ(TitleMiddleRepeats(800, 2, 120, 120, 0), 0);
    EXPECT_EQ(TitleMiddleRepeats(100, 2, 120, 120, 16), 1);
    EXPECT_EQ(HoverLook(0x00), 1);
    EXPECT_EQ(HoverLook(0x10), 2);
}

} // namespace
} // namespace Volux
