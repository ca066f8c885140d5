// The popup kinds (3 free popup, 4 kept inside its parent) of the web window: their own
// caption, border and close button, closing by hiding, and the notices they pass on.
#pragma once

#include <windows.h>

namespace Volux {

struct WebWindow;

// Handles a message of a kind-3 or kind-4 web window. True when handled, with the window
// procedure's answer in `result`; false sends it on to DefWindowProc.
// Draws the border strips, caption image, title and close button on the window's frame and
// records where the close button went (closeRect).
void PaintPopupCaption(WebWindow& page);

bool HandlePopupMessage(WebWindow& page, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);

} // namespace Volux
