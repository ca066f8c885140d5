#include "ui/GdiplusFonts.h"

#include "ui/GdiplusApi.h"

#include "Platform/WideText_win32.h"

namespace Volux {

Gdiplus::FontFamily* NewFontFamily(const char16_t* face) {
    const wchar_t* fallbacks[] = {L"Microsoft Sans Serif", L"Tahoma", L"Arial", L"DejaVu Sans"};
    if (face != nullptr && face[0] != 0) {
        auto* family = new Gdiplus::FontFamily(WidePtr(face));
        if (family->GetLastStatus() == Gdiplus::Ok && family->IsAvailable())
            return family;
        delete family;
    }
    for (const wchar_t* name : fallbacks) {
        auto* family = new Gdiplus::FontFamily(name);
        if (family->GetLastStatus() == Gdiplus::Ok && family->IsAvailable())
            return family;
        delete family;
    }
    // Whatever the system maps a family of no name to; drawing with it fails quietly.
    return new Gdiplus::FontFamily();
}

Gdiplus::Font* NewPixelFont(const char16_t* face, float pixels) {
    Gdiplus::FontFamily* family = NewFontFamily(face);
    auto* font = new Gdiplus::Font(family, pixels, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    delete family;  // the font keeps what it needs
    return font;
}

} // namespace Volux
