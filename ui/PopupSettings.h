// How the chat and video popups look: caption colours and font, title suffix, caption image
// and close button. Scripts fill one set for each popup; the popups read them when opened.
#pragma once

#include "Common/WString.h"

namespace Volux {

struct PopupSettings {
    int x = 0;  // chat window only; 0, 0 = placed under its title-bar button
    int y = 0;
    int width = 0;
    int height = 0;
    int captionColour = 0;      // 0xRRGGBB
    int captionTextColour = 0;  // 0xRRGGBB
    WString captionFont;
    WString titleSuffix;   // chat window only
    WString captionImage;  // resource name
    WString closeImage;
    WString closeHoverImage;
    int closeTop = 0;
    int closeRight = 0;
};

} // namespace Volux
