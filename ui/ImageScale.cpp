#include "ui/ImageScale.h"

#include <string.h>

#include <utility>
#include <vector>

namespace Volux {

namespace {

// Where each target column or row samples: the two source indices and the weight of the
// second in 1/256ths, from pixel centres mapped onto pixel centres.
struct Tap {
    int first;
    int second;
    uint32_t weight;
};

std::vector<Tap> MakeTaps(int sourceSize, int targetSize) {
    std::vector<Tap> taps(static_cast<size_t>(targetSize));
    const int64_t last = sourceSize - 1;
    for (int i = 0; i < targetSize; i++) {
        // Position in 1/256ths of a source pixel: (i + 0.5) * source / target - 0.5.
        int64_t position = ((int64_t(2 * i + 1) * sourceSize * 256) / (2 * int64_t(targetSize))) - 128;
        if (position < 0)
            position = 0;
        int64_t first = position >> 8;
        uint32_t weight = uint32_t(position & 255);
        if (first >= last) {
            first = last;
            weight = 0;
        }
        taps[size_t(i)] = {int(first), int(first + (weight != 0 ? 1 : 0)), weight};
    }
    return taps;
}

// Both channel pairs of a pixel at once: 0x00AA00GG and 0x00RR00BB lanes.
inline uint32_t Blend(uint32_t a, uint32_t b, uint32_t weight) {
    const uint32_t keep = 256 - weight;
    const uint32_t rb = (((a & 0x00FF00FFu) * keep + (b & 0x00FF00FFu) * weight) >> 8) & 0x00FF00FFu;
    const uint32_t ag = ((((a >> 8) & 0x00FF00FFu) * keep + ((b >> 8) & 0x00FF00FFu) * weight)) & 0xFF00FF00u;
    return rb | ag;
}

} // namespace

void StretchPixels(const uint32_t* source, int sourceWidth, int sourceHeight, size_t sourceStride, uint32_t* target,
                   int targetWidth, int targetHeight) {
    if (source == nullptr || target == nullptr || sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0 ||
        targetHeight <= 0 || sourceStride < size_t(sourceWidth))
        return;
    if (sourceWidth == targetWidth && sourceHeight == targetHeight) {
        for (int y = 0; y < targetHeight; y++)
            memcpy(target + size_t(y) * size_t(targetWidth), source + size_t(y) * sourceStride,
                   size_t(targetWidth) * 4u);
        return;
    }
    const std::vector<Tap> columns = MakeTaps(sourceWidth, targetWidth);
    const std::vector<Tap> rows = MakeTaps(sourceHeight, targetHeight);
    // Each target row blends two source rows, stretched horizontally once per source row.
    std::vector<uint32_t> upper(static_cast<size_t>(targetWidth));
    std::vector<uint32_t> lower(static_cast<size_t>(targetWidth));
    int upperRow = -1, lowerRow = -1;
    auto stretchRow = [&](int row, std::vector<uint32_t>& out) {
        const uint32_t* line = source + size_t(row) * sourceStride;
        for (int x = 0; x < targetWidth; x++) {
            const Tap& tap = columns[size_t(x)];
            out[size_t(x)] = Blend(line[tap.first], line[tap.second], tap.weight);
        }
    };
    for (int y = 0; y < targetHeight; y++) {
        const Tap& tap = rows[size_t(y)];
        if (tap.first != upperRow) {
            if (tap.first == lowerRow) {
                upper.swap(lower);
                std::swap(upperRow, lowerRow);
            } else {
                stretchRow(tap.first, upper);
                upperRow = tap.first;
            }
        }
        if (tap.second != lowerRow) {
            stretchRow(tap.second, lower);
            lowerRow = tap.second;
        }
        uint32_t* out = target + size_t(y) * size_t(targetWidth);
        for (int x = 0; x < targetWidth; x++)
            out[x] = Blend(upper[size_t(x)], lower[size_t(x)], tap.weight);
    }
}

} // namespace Volux
