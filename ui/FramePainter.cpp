#include "ui/FramePainter.h"

#include "ui/GdiplusApi.h"

#include "Platform/WideText_win32.h"
#include "ui/FrameWindow.h"
#include "ui/GdiplusFonts.h"

namespace Volux {

const char16_t* const _FRAME_DEFAULT_FACE = u"\u9ED1\u4F53";

namespace {

Gdiplus::Font* NewFont(const WString& face, float pixels) {
    return NewPixelFont(face.IsEmpty() ? _FRAME_DEFAULT_FACE : face.Text(), pixels);
}

Gdiplus::RectF ToRectF(const FrameRect& rect) {
    return Gdiplus::RectF(float(rect.left), float(rect.top), float(rect.right - rect.left),
                          float(rect.bottom - rect.top));
}

} // namespace

// Edge pixels are mirrored for the filter instead of blending with nothing, so a stretched
// image keeps hard, opaque edges.
void DrawStretchedImage(Gdiplus::Graphics& graphics, Gdiplus::Bitmap* image, int x, int y, int width, int height) {
    const int w = INT(image->GetWidth());
    const int h = INT(image->GetHeight());
    if (w == width && h == height) {
        graphics.DrawImage(image, x, y, width, height);  // the unscaled fast path
        return;
    }
    Gdiplus::ImageAttributes attributes;
    attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    graphics.DrawImage(image, Gdiplus::Rect(x, y, width, height), 0, 0, w, h, Gdiplus::UnitPixel, &attributes);
}

void DrawButton(Gdiplus::Graphics& graphics, const FrameButton& button) {
    const FrameImage* looks[] = {&button.imageUp, &button.imageHover, &button.imageDown};
    Gdiplus::Bitmap* image =
        looks[ButtonLookFor(button.state, button.imageHover.image != nullptr, button.imageDown.image != nullptr)]->image;
    if (image == nullptr)
        return;
    const FrameRect& r = button.rect;
    DrawStretchedImage(graphics, image, r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void DrawLabel(Gdiplus::Graphics& graphics, const FrameLabel& label) {
    if (label.text.IsEmpty())
        return;
    // The script's height is a LOGFONT height: negative is the character height, positive the
    // cell height, which is near enough to the em size for window text.
    int height = label.fontHeight < 0 ? -label.fontHeight : label.fontHeight;
    Gdiplus::Font* font = NewFont(label.fontFace, float(height > 0 ? height : 12));
    Gdiplus::StringFormat format;
    const uint32_t drawFormat = LabelTextFormat(label.alignment);
    format.SetAlignment((drawFormat & 3u) == 1u   ? Gdiplus::StringAlignmentCenter
                        : (drawFormat & 3u) == 2u ? Gdiplus::StringAlignmentFar
                                                  : Gdiplus::StringAlignmentNear);
    Gdiplus::SolidBrush brush(OpaqueColour(label.colour));
    graphics.DrawString(WidePtr(label.text.Text()), label.text.Length(), font, ToRectF(label.rect), &format, &brush);
    delete font;
}

void DrawProgressBar(Gdiplus::Graphics& graphics, const FrameProgressBar& bar) {
    const FrameRect& r = bar.rect;
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    if (width <= 0 || height <= 0)
        return;
    // Both images are drawn at their own scale: the filled one left of the split, the empty
    // one right of it, each from the same region of its image.
    const int split = ProgressSplit(width, bar.progress);
    if (bar.filledImage.image != nullptr && split > 0) {
        graphics.DrawImage(bar.filledImage.image, Gdiplus::Rect(r.left, r.top, split, height), 0, 0, split, height,
                           Gdiplus::UnitPixel);
    }
    if (bar.emptyImage.image != nullptr && split < width) {
        graphics.DrawImage(bar.emptyImage.image, Gdiplus::Rect(r.left + split, r.top, width - split, height), split, 0,
                           width - split, height, Gdiplus::UnitPixel);
    }
    char16_t figure[16];
    ProgressFigure(bar.progress, figure, 16);
    Gdiplus::Font* font = NewFont(bar.fontFace, float(bar.fontSize > 0 ? bar.fontSize : 12));
    Gdiplus::StringFormat format;
    if (bar.alignment >= 0 && bar.alignment <= 2)
        format.SetAlignment(Gdiplus::StringAlignment(bar.alignment));
    format.SetLineAlignment(Gdiplus::StringAlignmentNear);
    Gdiplus::SolidBrush brush(OpaqueColour(bar.colour));
    graphics.DrawString(WidePtr(figure), -1, font, ToRectF(r), &format, &brush);
    delete font;
}

void DrawFrameElements(Gdiplus::Graphics& graphics, const FrameWindow& frame) {
    for (_dword i = 0; i < frame.buttons.Count(); i++)
        DrawButton(graphics, frame.buttons[i]);
    for (_dword i = 0; i < frame.labels.Count(); i++)
        DrawLabel(graphics, frame.labels[i]);
    for (_dword i = 0; i < frame.progressBars.Count(); i++)
        DrawProgressBar(graphics, frame.progressBars[i]);
}

} // namespace Volux
