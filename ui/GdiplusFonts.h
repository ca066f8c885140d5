// GDI+ fonts by face name. A face that is not installed falls back to a sans-serif face every
// system has; the toolkit's own generic family is not used, because its cached object does not
// survive a GDI+ shutdown and start-up, which every frame's life makes.
#pragma once

namespace Gdiplus {
class Font;
class FontFamily;
}

namespace Volux {

// Never null unless GDI+ is not started; the caller deletes the result.
Gdiplus::FontFamily* NewFontFamily(const char16_t* face);
// A regular font of the face at a size in pixels; the caller deletes the result.
Gdiplus::Font* NewPixelFont(const char16_t* face, float pixels);

} // namespace Volux
