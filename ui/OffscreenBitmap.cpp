#include "ui/OffscreenBitmap.h"

#include "ui/ResourceImage.h"

namespace Volux {

OffscreenBitmap::OffscreenBitmap(int newWidth, int newHeight) : width(newWidth), height(newHeight) {
    if (width <= 0 || height <= 0 || width > _IMAGE_MAX_EDGE || height > _IMAGE_MAX_EDGE)
        return;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr)
        return;
    dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) {
        DeleteObject(bitmap);
        bitmap = nullptr;
        return;
    }
    previous = SelectObject(dc, bitmap);
    // A fresh section is all zero: fully transparent.
    pixels = static_cast<uint32_t*>(bits);
}

OffscreenBitmap::~OffscreenBitmap() {
    if (dc != nullptr) {
        SelectObject(dc, previous);
        DeleteDC(dc);
    }
    if (bitmap != nullptr)
        DeleteObject(bitmap);
}

uint32_t OffscreenBitmap::Pixel(int x, int y) const {
    if (pixels == nullptr || x < 0 || y < 0 || x >= width || y >= height)
        return 0;
    GdiFlush();
    return pixels[size_t(y) * size_t(width) + size_t(x)];
}

} // namespace Volux
