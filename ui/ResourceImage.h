// Images decoded from "VOLUXRES" resources (PNG and the other formats GDI+ reads). A resource
// that is missing, truncated, not an image or too large gives a null image, which is simply
// not drawn. Decoded images own their pixels: nothing refers back to the resource bytes.
#pragma once

namespace Gdiplus {
class Bitmap;
}

namespace Volux {

// Larger images are refused: an edge above this would take more memory than any window art.
constexpr int _IMAGE_MAX_EDGE = 8192;

// Null for an empty name or anything that cannot be decoded; the caller deletes the result.
// GDI+ must be started.
Gdiplus::Bitmap* LoadResourceImage(const char16_t* name);
// The same image shared by every window that names it: decoded once (a failure is remembered
// too) and kept until ReleaseSharedImages. Callers never delete it. UI thread only.
Gdiplus::Bitmap* SharedResourceImage(const char16_t* name);
// Deletes every shared image; the last GDI+ session does this before it shuts GDI+ down.
void ReleaseSharedImages();
// The same from bytes in memory.
Gdiplus::Bitmap* DecodeImage(const void* bytes, unsigned size);

// Animations: every frame of a multi-frame image (time dimension, as in an animated GIF), at
// most maxFrames, each a copy the caller deletes. A still image gives one frame; a missing or
// undecodable resource none. Returns the number of frames written.
int LoadResourceFrames(const char16_t* name, Gdiplus::Bitmap** frames, int maxFrames);
int DecodeImageFrames(const void* bytes, unsigned size, Gdiplus::Bitmap** frames, int maxFrames);

} // namespace Volux
