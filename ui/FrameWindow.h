// Frame windows: borderless top-level windows addressed by a slot 0..6. Slot 0 is the game
// frame made at start-up; scripts make the others and fill them with buttons, labels, bars
// and controls. The records below keep what the scripts asked for; images are named by
// their "VOLUXRES" resource and decoded when the frame paints them.
#pragma once

#include <windows.h>

#include "Common/Array.h"
#include "Common/WString.h"

namespace Volux {

class FrameWindow;
class ScriptObject;

struct FrameRect {
    int left = 0;
    int top = 0;
    int right = 0;   // x + width
    int bottom = 0;  // y + height
};

// From a script's x, y, width, height.
inline FrameRect MakeFrameRect(int x, int y, int width, int height) { return FrameRect{x, y, x + width, y + height}; }

struct FrameButton {
    int kind = 0;                    // 0 close, 1 minimise, 2 user button
    ScriptObject* button = nullptr;  // the script object of a user button, held while the frame lives
    int state = 0;                   // 0 up, 1 hover, 2 down
    FrameRect rect;
    WString imageUp;
    WString imageHover;
    WString imageDown;
    int handCursor = 0;              // non-zero: the hand cursor over the button
};

struct FrameLabel {
    int id = 0;
    FrameRect rect;
    WString text;
    WString fontFace;
    int colour = 0;      // 0xRRGGBB
    int fontHeight = 0;  // as a LOGFONT height
    int alignment = 0;   // 0 left, 1 centre, 2 right; anything else is left
};

struct FrameProgressBar {
    int id = 0;
    FrameRect rect;
    WString fontFace;
    int colour = 0;     // 0xRRGGBB
    int fontSize = 0;   // pixels
    int alignment = 0;  // 0 near, 1 centre, 2 far
    WString filledImage;
    WString emptyImage;
    float progress = 0;  // 0..1
};

struct FrameCheckBox {
    int id = 0;
    FrameRect rect;
    _byte checked = 0;
    HWND parent = nullptr;
    HWND control = nullptr;
};

// Combo boxes and hotkey boxes share the layout; value1 and value2 are the script's, kept
// and not used by the control.
struct FrameFieldControl {
    int id = 0;
    FrameRect rect;
    WString fontFace;
    int value1 = 0;
    int fontHeight = 0;
    int value2 = 0;
    HWND parent = nullptr;
    HWND control = nullptr;
};
using FrameComboBox = FrameFieldControl;
using FrameHotkeyBox = FrameFieldControl;

// What the application-wide message hook sees, field order as the launcher expects it.
struct FrameMessage {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
    FrameWindow* frame;
};

// Called first for every message of a created frame; true consumes the message (the window
// procedure then returns 0).
using FrameMessageHook = bool (*)(const FrameMessage& message);

class FrameWindow {
public:
    static constexpr int _SLOT_COUNT = 7;
    static constexpr const wchar_t* _CLASS_NAME = L"Volux Frame Window";

    explicit FrameWindow(int slot);
    ~FrameWindow();
    FrameWindow(const FrameWindow&) = delete;
    FrameWindow& operator=(const FrameWindow&) = delete;

    // Creates the hidden window; type 0 or 1 = popup with system menu and minimise box,
    // 2 = tool popup, anything else = no style. True when the window exists.
    bool Create(const char16_t* title, int x, int y, int width, int height, int type);
    void Destroy();
    void Show();
    void Hide();

    static void SetMessageHook(FrameMessageHook hook);
    static FrameMessageHook MessageHook();

    HWND window = nullptr;  // null before creation and after destruction
    int paintMode = 1;      // 0 = layered, non-zero = direct; the window type at creation
    int width = 0;          // size given at creation
    int height = 0;
    int slot;               // 0..6
    BYTE followAttached = 1;
    WString background;     // resource name of the background image, stretched to the window
    WString region;         // resource name of the window region (RGNDATA); set = direct painting
    HWND attachedWindow = nullptr;  // a top-level page kept over the frame
    int attachedX = 0;      // relative to the frame's top-left corner
    int attachedY = 0;
    int attachedWidth = 0;
    int attachedHeight = 0;
    Array<FrameButton> buttons;
    Array<FrameComboBox> comboBoxes;
    Array<FrameLabel> labels;
    Array<FrameCheckBox> checkBoxes;
    Array<FrameHotkeyBox> hotkeyBoxes;
    Array<FrameProgressBar> progressBars;

    // Sets the first progress bar with id 0; false when there is none.
    bool SetProgress(float progress);

private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    void Paint(HWND hwnd);
};

} // namespace Volux
