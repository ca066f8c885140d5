#include <gtest/gtest.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "ui/ImageScale.h"

namespace Volux {
namespace {

constexpr uint32_t _UNTOUCHED = 0x12345678u;

std::vector<uint32_t> Stretch(const std::vector<uint32_t>& source, int sourceWidth, int sourceHeight,
                              size_t stride, int targetWidth, int targetHeight) {
    std::vector<uint32_t> target(size_t(targetWidth > 0 ? targetWidth : 1) * size_t(targetHeight > 0 ? targetHeight : 1),
                                 _UNTOUCHED);
    StretchPixels(source.data(), sourceWidth, sourceHeight, stride, target.data(), targetWidth, targetHeight);
    return target;
}

TEST(ImageScale, SameSizeCopiesRowsAndSkipsTheStridePadding) {
    // Two rows of two pixels, each row padded to three.
    const std::vector<uint32_t> source = {1, 2, 0xDEAD, 3, 4, 0xBEEF};
    EXPECT_EQ(Stretch(source, 2, 2, 3, 2, 2), (std::vector<uint32_t>{1, 2, 3, 4}));
}

TEST(ImageScale, StretchingBlendsNeighboursAndRepeatsTheEdges) {
    // Black opaque to white opaque, doubled: the outer pixels keep the edge colours exactly,
    // the inner ones lie between them.
    const std::vector<uint32_t> row = {0xFF000000u, 0xFFFFFFFFu};
    const std::vector<uint32_t> wide = Stretch(row, 2, 1, 2, 4, 1);
    EXPECT_EQ(wide[0], 0xFF000000u);
    EXPECT_EQ(wide[3], 0xFFFFFFFFu);
    for (int i = 1; i <= 2; i++) {
        const uint32_t grey = wide[size_t(i)] & 0xFFu;
        EXPECT_EQ(wide[size_t(i)] >> 24, 0xFFu) << i;  // stays opaque
        EXPECT_GT(grey, 0u) << i;
        EXPECT_LT(grey, 255u) << i;
        // Every colour lane moves together: no channel bleeds into another.
        EXPECT_EQ((wide[size_t(i)] >> 8) & 0xFFu, grey) << i;
        EXPECT_EQ((wide[size_t(i)] >> 16) & 0xFFu, grey) << i;
    }
    EXPECT_LT(wide[1] & 0xFFu, wide[2] & 0xFFu);

    // Vertically the same, through the row cache.
    const std::vector<uint32_t> column = {0xFF000000u, 0xFFFFFFFFu};
    const std::vector<uint32_t> tall = Stretch(column, 1, 2, 1, 1, 5);
    EXPECT_EQ(tall[0], 0xFF000000u);
    EXPECT_EQ(tall[4], 0xFFFFFFFFu);
    for (int i = 1; i < 5; i++)
        EXPECT_GE(tall[size_t(i)] & 0xFFu, tall[size_t(i - 1)] & 0xFFu) << i;
}

TEST(ImageScale, FlatImagesStayFlatAtAnySize) {
    // Full white with full alpha is the largest value a lane holds: blending must not carry.
    const uint32_t colours[] = {0xFFFFFFFFu, 0x80402010u, 0u};
    const struct {
        int sourceWidth, sourceHeight, targetWidth, targetHeight;
    } sizes[] = {{3, 2, 800, 600}, {480, 300, 800, 600}, {800, 600, 7, 5}, {1, 1, 9, 9}, {5, 1, 2, 3}};
    for (uint32_t colour : colours) {
        for (const auto& size : sizes) {
            const std::vector<uint32_t> source(size_t(size.sourceWidth) * size_t(size.sourceHeight), colour);
            const std::vector<uint32_t> target =
                Stretch(source, size.sourceWidth, size.sourceHeight, size_t(size.sourceWidth), size.targetWidth,
                        size.targetHeight);
            for (uint32_t pixel : target)
                ASSERT_EQ(pixel, colour) << size.sourceWidth << "x" << size.sourceHeight << " -> " << size.targetWidth
                                         << "x" << size.targetHeight;
        }
    }
}

TEST(ImageScale, BadSizesWriteNothing) {
    const std::vector<uint32_t> source(4, 0xFFFFFFFFu);
    const struct {
        int sourceWidth, sourceHeight;
        size_t stride;
        int targetWidth, targetHeight;
    } cases[] = {{0, 2, 2, 4, 4}, {2, -1, 2, 4, 4}, {2, 2, 1, 4, 4}, {2, 2, 2, 0, 4}, {2, 2, 2, 4, -3}};
    for (const auto& c : cases) {
        const std::vector<uint32_t> target =
            Stretch(source, c.sourceWidth, c.sourceHeight, c.stride, c.targetWidth, c.targetHeight);
        for (uint32_t pixel : target)
            EXPECT_EQ(pixel, _UNTOUCHED) << c.sourceWidth << "x" << c.sourceHeight << " stride " << c.stride;
    }
}

// Thin and extreme shapes: a grey ramp along the long side stays opaque and grey, never runs
// backwards, whichever way and how far it is scaled, and keeps its end values when enlarged.
TEST(ImageScale, RampsKeepTheirEndsAndOrderAtExtremeSizes) {
    const struct {
        int sourceLength, targetLength, across;  // across: the other side, the same in both
    } cases[] = {{2, 4000, 1}, {256, 1, 1}, {8192, 3, 1}, {8192, 2, 2}, {3, 8191, 1}, {1000, 999, 1}, {7, 7000, 3}};
    for (const bool vertical : {false, true}) {
        for (const auto& c : cases) {
            std::vector<uint32_t> source(size_t(c.sourceLength) * size_t(c.across));
            for (int i = 0; i < c.sourceLength; i++) {
                const uint32_t grey = uint32_t(i * 255 / (c.sourceLength - 1 > 0 ? c.sourceLength - 1 : 1));
                const uint32_t pixel = 0xFF000000u | grey * 0x010101u;
                for (int j = 0; j < c.across; j++)
                    source[vertical ? size_t(i) * size_t(c.across) + size_t(j) : size_t(j) * size_t(c.sourceLength) + size_t(i)] = pixel;
            }
            const int sw = vertical ? c.across : c.sourceLength, sh = vertical ? c.sourceLength : c.across;
            const int tw = vertical ? c.across : c.targetLength, th = vertical ? c.targetLength : c.across;
            const std::vector<uint32_t> target = Stretch(source, sw, sh, size_t(sw), tw, th);
            auto at = [&](int i, int j) {
                return target[vertical ? size_t(i) * size_t(tw) + size_t(j) : size_t(j) * size_t(tw) + size_t(i)];
            };
            const std::string name = std::to_string(c.sourceLength) + " -> " + std::to_string(c.targetLength) +
                                     (vertical ? " rows" : " columns");
            for (int j = 0; j < c.across; j++) {
                if (c.targetLength >= c.sourceLength) {
                    EXPECT_EQ(at(0, j), source[0]) << name;
                    EXPECT_EQ(at(c.targetLength - 1, j), 0xFFFFFFFFu) << name;
                }
                for (int i = 0; i < c.targetLength; i++) {
                    const uint32_t pixel = at(i, j);
                    ASSERT_EQ(pixel >> 24, 0xFFu) << name << " at " << i;
                    ASSERT_EQ(pixel & 0xFFu, (pixel >> 8) & 0xFFu) << name << " at " << i;
                    if (i > 0) {
                        ASSERT_GE(pixel & 0xFFu, at(i - 1, j) & 0xFFu) << name << " at " << i;
                    }
                }
            }
        }
    }
}

} // namespace
} // namespace Volux
