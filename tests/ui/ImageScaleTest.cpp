#include <gtest/gtest.h>

#include <stdint.h>

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

} // namespace
} // namespace Volux
