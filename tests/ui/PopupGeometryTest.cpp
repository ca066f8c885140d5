#include <gtest/gtest.h>

#include <windows.h>

#include "ui/PopupGeometry.h"

namespace Volux {
namespace {

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(PopupGeometryTest, KindFourPopupStaysInsideItsParent) {
    const RECT parent = {100, 50, 900, 650};  // 800 x 600
    struct Case {
        const char* name;
        bool maximised;
        int x, y;
        int keptX, keptY;
    } cases[] = {
        {"inside stays", false, 300, 200, 300, 200},
        {"left edge", false, 20, 200, 100, 200},
        {"right edge", false, 800, 200, 700, 200},
        {"top keeps the clearance", false, 300, 60, 300, 100},
        {"bottom edge", false, 300, 600, 300, 400},
        {"maximised left margin", true, 20, 200, 110, 200},
        {"maximised right margin", true, 800, 200, 690, 200},
        {"maximised top margin and clearance", true, 300, 0, 300, 110},
        {"maximised bottom margin", true, 300, 600, 300, 390},
        {"maximised corner", true, 5000, -5000, 690, 110},
    };
    for (const Case& c : cases) {
        POINT kept = ClampInsideParent(c.x, c.y, 200, 250, parent, c.maximised);
        EXPECT_EQ(kept.x, c.keptX) << c.name;
        EXPECT_EQ(kept.y, c.keptY) << c.name;
    }
    // A popup larger than its parent keeps its caption corner inside.
    POINT kept = ClampInsideParent(500, 500, 1000, 900, parent, false);
    EXPECT_EQ(kept.x, 100);
    EXPECT_EQ(kept.y, 100);
}

TEST(PopupGeometryTest, CaptionHeightComesFromImageThenSystemCaptionThenDefault) {
    struct Case {
        int imageHeight, titleBarHeight, captionHeight;
    } cases[] = {{30, 20, 30}, {0, 20, 0}, {-1, 20, 20}, {-1, 0, 27}, {-1, -3, 27}};
    for (const Case& c : cases) {
        CaptionLayout layout = LayoutCaption(300, 200, 3, c.imageHeight, c.titleBarHeight, 0, 0, 0, 0);
        EXPECT_EQ(layout.captionHeight, c.captionHeight) << c.imageHeight << " " << c.titleBarHeight;
        EXPECT_TRUE(SameRect(layout.text, RECT{11, 7, 294, 3 + c.captionHeight}));
    }
}

TEST(PopupGeometryTest, BorderStripsAndCloseButtonPlacement) {
    CaptionLayout layout = LayoutCaption(300, 200, 3, 24, 20, 16, 12, 5, 7);
    EXPECT_TRUE(SameRect(layout.strips[0], RECT{0, 0, 300, 3}));
    EXPECT_TRUE(SameRect(layout.strips[1], RECT{0, 0, 3, 200}));
    EXPECT_TRUE(SameRect(layout.strips[2], RECT{297, 0, 300, 200}));
    EXPECT_TRUE(SameRect(layout.strips[3], RECT{0, 197, 300, 200}));
    // Right edge at w - closeRight - b, top at b + closeTop, the image's own size.
    EXPECT_TRUE(SameRect(layout.close, RECT{274, 8, 290, 20}));
    CaptionLayout without = LayoutCaption(300, 200, 3, 24, 20, 0, 0, 5, 7);
    EXPECT_TRUE(SameRect(without.close, RECT{0, 0, 0, 0}));
}

TEST(PopupGeometryTest, ClientAreaAdjustment) {
    const RECT proposed = {100, 100, 500, 400};
    struct Case {
        const char* name;
        int border;
        bool hasCaption;
        int imageHeight, captionHeight;
        RECT adjusted;
    } cases[] = {
        {"system border, caption image", 3, true, 30, 20, {100, 110, 500, 400}},
        {"thin border", 1, true, 30, 20, {98, 108, 502, 402}},
        {"no image: the caption goes", 3, true, 0, 20, {100, 80, 500, 400}},
        {"no caption: top unchanged", 1, false, 30, 20, {98, 100, 502, 402}},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(SameRect(AdjustPopupClient(proposed, 3, 3, c.border, c.hasCaption, c.imageHeight, c.captionHeight),
                             c.adjusted))
            << c.name;
}

TEST(PopupGeometryTest, CloseRectangleHitsOnlyStrictlyInside) {
    const RECT close = {10, 20, 30, 40};
    struct Case {
        int x, y;
        bool inside;
    } cases[] = {{20, 30, true}, {11, 21, true}, {10, 30, false}, {30, 30, false},
                 {20, 20, false}, {20, 40, false}, {0, 0, false}};
    for (const Case& c : cases)
        EXPECT_EQ(StrictlyInside(close, c.x, c.y), c.inside) << c.x << "," << c.y;
    EXPECT_FALSE(StrictlyInside(RECT{0, 0, 0, 0}, 0, 0));
}

} // namespace
} // namespace Volux
