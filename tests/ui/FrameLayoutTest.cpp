#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "ui/FrameLayout.h"

namespace Volux {
namespace {

TEST(FrameLayout, ContainmentIsStrictOnEveryEdge) {
    const FrameRect button = MakeFrameRect(10, 20, 30, 40);  // right 40, bottom 60
    struct Case {
        int x, y;
        bool inside;
    } cases[] = {
        {11, 21, true}, {39, 59, true}, {25, 40, true},
        {10, 30, false}, {40, 30, false}, {25, 20, false}, {25, 60, false}, {9, 30, false}, {41, 61, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StrictlyContains(button, c.x, c.y), c.inside) << c.x << "," << c.y;
    // A button without size contains nothing.
    EXPECT_FALSE(StrictlyContains(MakeFrameRect(5, 5, 0, 0), 5, 5));
}

TEST(FrameLayout, ScriptSizesAndPositionsAreClampedToWhatWindowsTake) {
    struct Case {
        int x, y, width, height;
        FrameRect expected;
    } cases[] = {
        {1, 2, 3, 4, {1, 2, 4, 6}},
        {0, 0, -5, -1, {0, 0, 0, 0}},
        {0x7FFFFFFF, -0x7FFFFFFF, 0x7FFFFFFF, 10, {_FRAME_MAX_POSITION, -_FRAME_MAX_POSITION,
                                                   _FRAME_MAX_POSITION + _FRAME_MAX_EXTENT, -_FRAME_MAX_POSITION + 10}},
    };
    for (const Case& c : cases) {
        FrameRect r = MakeFrameRect(c.x, c.y, c.width, c.height);
        EXPECT_EQ(r.left, c.expected.left);
        EXPECT_EQ(r.top, c.expected.top);
        EXPECT_EQ(r.right, c.expected.right);
        EXPECT_EQ(r.bottom, c.expected.bottom);
    }
}

TEST(FrameLayout, StylesByWindowType) {
    struct Case {
        int type;
        uint32_t style, extended;
    } cases[] = {
        {0, 0x800A0000u, 0}, {1, 0x800A0000u, 0}, {2, 0x80000000u, 0x80u}, {3, 0, 0}, {-1, 0, 0},
    };
    for (const Case& c : cases) {
        FrameStyles styles = FrameStylesForType(c.type);
        EXPECT_EQ(styles.style, c.style) << c.type;
        EXPECT_EQ(styles.extendedStyle, c.extended) << c.type;
    }
}

TEST(FrameLayout, ButtonLooksFallBackToUp) {
    struct Case {
        int state;
        bool hover, down;
        ButtonLook look;
    } cases[] = {
        {0, true, true, _LOOK_UP},      {1, true, true, _LOOK_HOVER}, {2, true, true, _LOOK_DOWN},
        {1, false, true, _LOOK_UP},     {2, true, false, _LOOK_UP},   {7, true, true, _LOOK_UP},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ButtonLookFor(c.state, c.hover, c.down), c.look) << c.state << c.hover << c.down;
}

TEST(FrameLayout, LabelFormatsAndColours) {
    EXPECT_EQ(LabelTextFormat(0), 0x10u);
    EXPECT_EQ(LabelTextFormat(1), 0x11u);
    EXPECT_EQ(LabelTextFormat(2), 0x12u);
    EXPECT_EQ(LabelTextFormat(3), 0x10u);  // three or more is left
    EXPECT_EQ(LabelTextFormat(-1), 0x10u);
    EXPECT_EQ(ColourRefFromRgb(0x112233), 0x332211u);
    EXPECT_EQ(ColourRefFromRgb(int(0xFF112233u)), 0x332211u);  // no alpha reaches a COLORREF
}

TEST(FrameLayout, ProgressSplitsAndFigures) {
    struct Case {
        int width;
        float progress;
        int split;
        const char16_t* figure;
    } cases[] = {
        {100, 0.5f, 50, u" 50%"}, {100, 0.0f, 0, u"  0%"},   {100, 1.0f, 100, u"100%"},
        {100, 1.5f, 100, u"100%"}, {100, -2.0f, 0, u"  0%"}, {0, 0.5f, 0, u" 50%"},
        {-10, 0.5f, 0, u" 50%"},  {200, 0.995f, 199, u"100%"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProgressSplit(c.width, c.progress), c.split) << c.width << " " << c.progress;
        char16_t figure[16];
        ProgressFigure(c.progress, figure, 16);
        EXPECT_EQ(std::u16string(figure), std::u16string(c.figure)) << c.progress;
    }
    char16_t figure[16];
    ProgressFigure(std::numeric_limits<float>::quiet_NaN(), figure, 16);
    EXPECT_EQ(std::u16string(figure), u"  0%");
}

TEST(FrameLayout, RegionDataIsCheckedAgainstItsBytes) {
    // Header: size 32, type 1, count, byte size, bounds; then 16 bytes per rectangle.
    auto make = [](uint32_t size, uint32_t type, uint32_t count, int rects) {
        std::string bytes(32 + 16 * size_t(rects), '\0');
        auto put = [&bytes](size_t at, uint32_t v) {
            for (int i = 0; i < 4; i++)
                bytes[at + size_t(i)] = char((v >> (8 * i)) & 0xFF);
        };
        put(0, size);
        put(4, type);
        put(8, count);
        return bytes;
    };
    struct Case {
        std::string bytes;
        bool valid;
    } cases[] = {
        {make(32, 1, 2, 2), true},
        {make(32, 1, 1, 2), true},
        {make(32, 1, 0, 0), false},   // empty
        {make(32, 1, 3, 2), false},   // more rectangles than bytes
        {make(32, 1, 0x10000000u, 2), false},
        {make(40, 1, 1, 1), false},   // unknown header size
        {make(32, 2, 1, 1), false},   // not rectangles
        {make(32, 1, 1, 1).substr(0, 20), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsRegionData(c.bytes.data(), c.bytes.size()), c.valid) << c.bytes.size();
    EXPECT_FALSE(IsRegionData(nullptr, 64));
}

} // namespace
} // namespace Volux
