// The main-window record: the game window of the ordinary mode with its custom title bar
// (border, three-part background, icon, title, three rows of buttons) and Windows menu bar.
// The record exists for the whole run; scripts fill it before the window is created, and the
// window paints from it. Images are named by their "VOLUXRES" resource.
#pragma once

#include <windows.h>

#include "Common/Array.h"
#include "Common/WString.h"
#include "ui/GdiplusSession.h"
#include "ui/TitleBarLayout.h"

namespace Gdiplus {
class Bitmap;
class Graphics;
}

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
    LayoutRect hitRect = _HIDDEN_HIT_RECT;  // where it was last drawn, window coordinates
    // The script's further numbers, passed through for the painting to interpret.
    int extra[3] = {};
    WString extraImages[2];
};

// Where a custom entry or button goes.
enum TitleBarRow { _ROW_LEFT = 0, _ROW_RIGHT = 1, _ROW_SYSTEM = 2 };

class MainWindow;
// Called for every message after the window's own handling (true: consumed, the procedure
// returns 0); the launcher's handler.
using MainMessageHook = bool (*)(MainWindow& window, UINT message, WPARAM wparam, LPARAM lparam);
// Menu items and title-bar buttons: the id, the item's text (empty for buttons), its value.
using MainCommandHandler = void (*)(int id, const char16_t* text, const char16_t* value);
// Called at the end of creation; false makes creation fail (the window stays).
using MainCreationHook = bool (*)(MainWindow& window);

class MainWindow {
public:
    static constexpr const wchar_t* _CLASS_NAME = L"Volux3D Main Window";
    // Creation flag word bits besides those of the launcher's window flags.
    static constexpr _dword _FLAG_CAPTION = 0x01;
    static constexpr _dword _FLAG_MAXIMISE_AT_START = 0x100;

    MainWindow() = default;
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window at x, y with the client size and the style the flags give, builds the
    // Windows menu bar from menuCommands and calls the creation hook. False when the size
    // cannot be adjusted, the window cannot be made or the hook refuses.
    bool Create(int x, int y, const char16_t* title, int clientWidth, int clientHeight, _dword flags);
    // The decoration (menu bar, rows, images) and then the window.
    void Destroy();
    // What closing the window takes down: the Windows menu, its commands, the rows and images.
    void DestroyDecoration();

    // Images by "VOLUXRES" name, decoded on first use and shared with the other windows; null
    // when the resource cannot be decoded.
    Gdiplus::Bitmap* Image(const WString& name);
    // Replace the logo, the title images or the icon and repaint.
    void SetLogo(const char16_t* name);
    void SetTitleImages(const char16_t* left, const char16_t* middle, const char16_t* right);
    void SetIcon(const char16_t* name);

    // The hit rectangle of a left- or right-row button in screen coordinates; false when absent.
    bool ButtonScreenRect(int id, RECT* rect) const;
    // Alternates a right-row button between its look and its text background alone every
    // 500 ms of the given clock.
    void Blink(int id, DWORD now);

    // The custom caption's top offset: the border, or when maximised the caption top.
    int CaptionTop() const;
    // Height of the composed title bar: offset plus the left title image's height.
    int TitleBarHeight(int offset);
    // Composes the title bar (title images, icon, title text, the three rows) into target,
    // laying the rows out for a window of this width. For the window and for tests.
    void ComposeTitleBar(HDC target, int windowWidth, int offset, bool maximised);
    // The border strips in the border colour around a window of this size.
    void DrawBorder(HDC target, int windowWidth, int windowHeight) const;
    // Mouse over the caption, in window coordinates: hover looks and clicks. True when a
    // button took a click.
    bool TrackButtons(UINT message, int x, int y);

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

    MainMessageHook messageHook = nullptr;
    MainCommandHandler commandHandler = nullptr;
    MainCreationHook creationHook = nullptr;
    int blinkingButton = 0;  // right-row id the launcher marked as blinking, 0 = none

private:
    static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    void BuildMenuBar();
    void PaintTitleBar();
    void PaintLogo(HWND hwnd);
    bool IsMaximised() const;
    void DrawRow(Gdiplus::Graphics& graphics, Array<TitleBarButton>& row, int x, int y, bool rightToLeft, bool maximised);

    GdiplusSession gdiplus;
    bool blinkOff = false;
    DWORD blinkSince = 0;
    bool trackingLeave = false;
};

} // namespace Volux
