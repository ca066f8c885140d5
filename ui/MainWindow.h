// The main-window record: the game window of the ordinary mode with its custom title bar
// (border, three-part background, icon, title, three rows of buttons) and Windows menu bar.
// The record exists for the whole run; scripts fill it before the window is created, and the
// window paints from it. Images are named by their "VOLUXRES" resource.
#pragma once

#include <windows.h>

#include "Common/Array.h"
#include "Common/WString.h"

namespace Volux {

// One entry of the Windows menu bar, or of the command table behind the title-bar buttons.
struct MenuCommand {
    int id = 0;
    WString text;
    WString value;  // an address, for example
    int extra[2] = {};  // the script's two numbers: a bitmap id and a right-justify flag
};

struct TitleBarButton {
    int id = 0;
    int16_t order = 0;  // sort key of the system row, ascending
    _byte state = 0;    // low 4 bits: look 0 normal, 1 hover, 2 hover-alternate; 0x10: use the alternate
    WString images[3];  // for looks 0, 1, 2
    _byte visibleIn = 0;  // 1: shown while maximised; 2: shown while not maximised
    WString value;
    WString text;
    int textTop = 0;
    WString textBack;
    WString textBackHover;
    RECT hitRect = {-100, -100, -100, -100};  // where it was last drawn; off-window when hidden
    // The script's further numbers, passed through for the painting to interpret.
    int extra[3] = {};
    WString extraImages[2];
};

// Where a custom entry or button goes.
enum TitleBarRow { _ROW_LEFT = 0, _ROW_RIGHT = 1, _ROW_SYSTEM = 2 };

class MainWindow {
public:
    // Creation flag word bits besides those of the launcher's window flags.
    static constexpr _dword _FLAG_CAPTION = 0x01;

    HWND window = nullptr;
    WString menuFontFace{u"黑体"};
    int menuTextColour = 0xC6AA66;  // 0xRRGGBB
    int menuHoverColour = 0xE8B978;
    int menuFontSize = 13;
    int minWidth = 0;   // minimum tracking size; both set to take effect
    int minHeight = 0;
    WString titleFontFace;  // the title is drawn only when a face is set
    int titleTextColour = 0;
    int borderWidth = 0;
    int borderColour = 0xFFFFFF;
    int menuTop = 0;     // y offset of the menu rows
    int menuLeft = 0;    // left margin of the left row
    int menuRight = 0;   // right margin of the right row
    int menuSpacing = 0; // gap before each button
    int captionOffset = 0;
    WString logo;
    WString titleLeft;   // set: the custom title bar is on
    WString titleMiddle;
    WString titleRight;
    WString icon;
    _byte logoShown = 0;
    _byte resizable = 1;
    _byte fixedGameSize = 0;
    HMENU menu = nullptr;
    Array<MenuCommand> menuCommands;  // items of the Windows menu bar
    Array<TitleBarButton> rows[3];    // left, right, system

    bool HasCustomTitleBar() const { return !titleLeft.IsEmpty(); }
    // Appends to a row; the system row stays sorted by order.
    void AddButton(TitleBarRow row, TitleBarButton&& button);
    // Records an item of the Windows menu bar (the bar itself is built with the window).
    void AddMenuItem(int id, const char16_t* text, const char16_t* value, int extra0 = 0, int extra1 = 0);
    // Sets text and value when given and visibleIn, on the first button with the id in the
    // left, right and system rows; false when there is none.
    bool UpdateButton(int id, const char16_t* text, const char16_t* value, _byte visibleIn);
    TitleBarButton* FindButton(int id);
};

} // namespace Volux
