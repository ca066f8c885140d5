// Drawing a frame's elements with GDI+. One path serves both paint modes: the frame is
// composed into a 32-bit premultiplied buffer, which layered frames hand to the system and
// direct frames copy onto the window.
#pragma once

namespace Gdiplus {
class Bitmap;
class Graphics;
}

namespace Volux {

class FrameWindow;
struct FrameButton;
struct FrameLabel;
struct FrameProgressBar;

// The default face of labels and bar figures when the script names none.
extern const char16_t* const _FRAME_DEFAULT_FACE;

// Buttons, labels and bars in array order (the background is the caller's).
void DrawFrameElements(Gdiplus::Graphics& graphics, const FrameWindow& frame);
// Stretches an image over a rectangle with hard edges.
void DrawStretchedImage(Gdiplus::Graphics& graphics, Gdiplus::Bitmap* image, int x, int y, int width, int height);
void DrawButton(Gdiplus::Graphics& graphics, const FrameButton& button);
void DrawLabel(Gdiplus::Graphics& graphics, const FrameLabel& label);
void DrawProgressBar(Gdiplus::Graphics& graphics, const FrameProgressBar& bar);

} // namespace Volux
