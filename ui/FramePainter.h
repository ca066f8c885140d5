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

// Background stretched to width x height, then buttons, labels and bars in array order.
void DrawFrame(Gdiplus::Graphics& graphics, const FrameWindow& frame, int width, int height);
void DrawButton(Gdiplus::Graphics& graphics, const FrameButton& button);
void DrawLabel(Gdiplus::Graphics& graphics, const FrameLabel& label);
void DrawProgressBar(Gdiplus::Graphics& graphics, const FrameProgressBar& bar);

} // namespace Volux
