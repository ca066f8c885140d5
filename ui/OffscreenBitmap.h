// A 32-bit top-down DIB section selected into a memory device context: where frames and the
// title bar are composed before they reach the screen. Pixels are premultiplied BGRA.
#pragma once

#include <windows.h>

#include <stdint.h>

namespace Volux {

class OffscreenBitmap {
public:
    // Sizes outside 1.._IMAGE_MAX_EDGE (see ResourceImage.h) give an invalid bitmap.
    OffscreenBitmap(int width, int height);
    ~OffscreenBitmap();
    OffscreenBitmap(const OffscreenBitmap&) = delete;
    OffscreenBitmap& operator=(const OffscreenBitmap&) = delete;

    bool IsValid() const { return pixels != nullptr; }
    HDC Dc() const { return dc; }
    int Width() const { return width; }
    int Height() const { return height; }
    // Width * Height pixels, top row first; call GdiFlush before reading what GDI drew.
    uint32_t* Bits() const { return pixels; }
    // 0xAARRGGBB at (x, y); 0 outside the bitmap.
    uint32_t Pixel(int x, int y) const;

private:
    int width;
    int height;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint32_t* pixels = nullptr;
};

} // namespace Volux
