#include "ui/ResourceImage.h"

#include "ui/GdiplusApi.h"

#include <string.h>

#include <utility>

#include "Common/Array.h"
#include "Common/Log.h"
#include "Common/WString.h"
#include "Platform/File.h"

namespace Volux {

namespace {

// A copy of the decoded image in premultiplied 32-bit pixels: it no longer needs the stream
// and draws fastest onto layered bitmaps.
Gdiplus::Bitmap* DetachedCopy(Gdiplus::Bitmap& decoded) {
    const UINT width = decoded.GetWidth();
    const UINT height = decoded.GetHeight();
    if (width == 0 || height == 0 || width > UINT(_IMAGE_MAX_EDGE) || height > UINT(_IMAGE_MAX_EDGE))
        return nullptr;
    auto* copy = new Gdiplus::Bitmap(INT(width), INT(height), PixelFormat32bppPARGB);
    if (copy->GetLastStatus() != Gdiplus::Ok) {
        delete copy;
        return nullptr;
    }
    Gdiplus::Status status;
    {
        Gdiplus::Graphics graphics(copy);
        graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
        status = graphics.DrawImage(&decoded, Gdiplus::Rect(0, 0, INT(width), INT(height)), 0, 0, INT(width),
                                    INT(height), Gdiplus::UnitPixel);
    }
    if (status != Gdiplus::Ok) {
        delete copy;
        return nullptr;
    }
    return copy;
}

} // namespace

// A stream over a copy of the bytes; the stream takes the block and frees it with itself.
static IStream* StreamOverCopy(const void* bytes, unsigned size) {
    if (bytes == nullptr || size == 0)
        return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, size);
    if (block == nullptr)
        return nullptr;
    memcpy(reinterpret_cast<void*>(block), bytes, size);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(block, TRUE, &stream))) {
        GlobalFree(block);
        return nullptr;
    }
    return stream;
}

Gdiplus::Bitmap* DecodeImage(const void* bytes, unsigned size) {
    IStream* stream = StreamOverCopy(bytes, size);
    if (stream == nullptr)
        return nullptr;
    Gdiplus::Bitmap* result = nullptr;
    {
        Gdiplus::Bitmap decoded(stream, FALSE);
        if (decoded.GetLastStatus() == Gdiplus::Ok)
            result = DetachedCopy(decoded);
    }
    stream->Release();
    return result;
}

int DecodeImageFrames(const void* bytes, unsigned size, Gdiplus::Bitmap** frames, int maxFrames) {
    if (frames == nullptr || maxFrames <= 0)
        return 0;
    IStream* stream = StreamOverCopy(bytes, size);
    if (stream == nullptr)
        return 0;
    int count = 0;
    {
        Gdiplus::Bitmap decoded(stream, FALSE);
        if (decoded.GetLastStatus() == Gdiplus::Ok) {
            // The frame count comes from the file: it only bounds the loop, never an allocation.
            UINT available = decoded.GetFrameCount(&Gdiplus::FrameDimensionTime);
            if (available == 0)
                available = 1;  // a still image
            for (UINT i = 0; i < available && count < maxFrames; i++) {
                if (i > 0 && decoded.SelectActiveFrame(&Gdiplus::FrameDimensionTime, i) != Gdiplus::Ok)
                    break;
                Gdiplus::Bitmap* copy = DetachedCopy(decoded);
                if (copy == nullptr)
                    break;
                frames[count++] = copy;
            }
        }
    }
    stream->Release();
    return count;
}

Gdiplus::Bitmap* LoadResourceImage(const char16_t* name) {
    if (name == nullptr || name[0] == 0)
        return nullptr;
    ByteBuffer bytes;
    if (!FileSystem::LoadResource(nullptr, name, bytes))
        return nullptr;
    Gdiplus::Bitmap* image = DecodeImage(bytes.data, unsigned(bytes.size));
    if (image == nullptr)
        PrintLine(u"[MC] Image resource %ls cannot be decoded", name);
    return image;
}

int LoadResourceFrames(const char16_t* name, Gdiplus::Bitmap** frames, int maxFrames) {
    if (name == nullptr || name[0] == 0)
        return 0;
    ByteBuffer bytes;
    if (!FileSystem::LoadResource(nullptr, name, bytes))
        return 0;
    const int count = DecodeImageFrames(bytes.data, unsigned(bytes.size), frames, maxFrames);
    if (count == 0)
        PrintLine(u"[MC] Image resource %ls cannot be decoded", name);
    return count;
}

namespace {

struct SharedImage {
    WString name;
    Gdiplus::Bitmap* image = nullptr;
};

// Windows name the same art many times (every frame its background, every button its looks);
// a lookup by name is cheaper than a decode, and the list stays short.
Array<SharedImage>& SharedImages() {
    static Array<SharedImage> images;
    return images;
}

} // namespace

Gdiplus::Bitmap* SharedResourceImage(const char16_t* name) {
    if (name == nullptr || name[0] == 0)
        return nullptr;
    Array<SharedImage>& images = SharedImages();
    for (_dword i = 0; i < images.Count(); i++) {
        if (Text::Equals(images[i].name.Text(), name))
            return images[i].image;
    }
    SharedImage entry;
    entry.name = name;
    entry.image = LoadResourceImage(name);
    return images.Append(std::move(entry)).image;
}

void ReleaseSharedImages() {
    Array<SharedImage>& images = SharedImages();
    for (_dword i = 0; i < images.Count(); i++)
        delete images[i].image;
    images.Clear();
}

} // namespace Volux
