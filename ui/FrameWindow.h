// Frame windows: borderless, custom-drawn top-level windows addressed by a slot 0..6. Slot 0 is
// the game frame made at start-up; scripts make the others and fill them with a background,
// buttons, labels, progress bars and controls. A frame paints either layered (composed
// off-screen with per-pixel alpha) or directly on WM_PAINT.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <vector>

#include "Common/Array.h"
#include "Common/WString.h"
#include "ui/FrameLayout.h"
#include "ui/GdiplusSession.h"

namespace Gdiplus {
class Bitmap;
}

namespace Volux {

class OffscreenBitmap;

class FrameWindow;
class ScriptObject;

// Images are named by their "VOLUXRES" resource; the decoded image is shared by every window
// that names it (see SharedResourceImage) and is null when the resource could not be decoded.
struct FrameImage {
    WString name;
    Gdiplus::Bitmap* image = nullptr;
};

struct FrameButton {
    int kind = 0;                    // 0 close, 1 minimise, 2 user button
    ScriptObject* button = nullptr;  // the script object of a user button, held while the frame lives
    int state = 0;                   // 0 up, 1 hover, 2 down
    FrameRect rect;
    FrameImage imageUp;
    FrameImage imageHover;
    FrameImage imageDown;
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
    int alignment = 0;  // 0 near, 1 centre, 2 far; anything else leaves the default
    FrameImage filledImage;
    FrameImage emptyImage;
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
    HFONT font = nullptr;  // the control's font, deleted with the frame
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
// Called when a button is clicked (released inside it): its kind, its script object (null
// for close and minimise) and the frame.
using FrameButtonHandler = void (*)(int kind, ScriptObject* button, FrameWindow* frame);

class FrameWindow {
public:
    static constexpr int _SLOT_COUNT = 7;
    static constexpr const wchar_t* _CLASS_NAME = L"Volux Frame Window";

    explicit FrameWindow(int slot);
    ~FrameWindow();
    FrameWindow(const FrameWindow&) = delete;
    FrameWindow& operator=(const FrameWindow&) = delete;

    // Creates the hidden window; type 0 or 1 = popup with system menu and minimise box,
    // 2 = tool popup, anything else = no style. Type 0 paints layered, any other directly.
    // True when the window exists.
    bool Create(const char16_t* title, int x, int y, int width, int height, int type);
    // Tears the frame down: images, buttons, controls, then the window.
    void Destroy();
    void Show();
    void Hide();

    // Moves and sizes the window and repaints it.
    void Resize(int x, int y, int width, int height);
    // Decodes the named image; on success it replaces the background and the window repaints
    // at once. A resource that cannot be decoded keeps the old background (false).
    bool SetBackground(const char16_t* name);
    // The named resource holds RGNDATA; when it is valid and non-empty it becomes the window's
    // region and the frame paints directly from then on. False (one log line) otherwise.
    bool SetupRegion(const char16_t* name);

    FrameButton& AddButton(int kind, ScriptObject* object, const FrameRect& rect, const char16_t* up,
                           const char16_t* hover, const char16_t* down, int handCursor);
    FrameLabel& AddLabel(FrameLabel&& label);
    FrameProgressBar& AddProgressBar(int id, const FrameRect& rect, const char16_t* fontFace, int colour, int fontSize,
                                     int alignment, const char16_t* filled, const char16_t* empty);
    // The three standard controls, children of the window; a frame without a window records
    // the control without making it.
    FrameCheckBox& AddCheckBox(int id, const FrameRect& rect, bool checked);
    FrameComboBox& AddComboBox(FrameFieldControl&& control);
    FrameHotkeyBox& AddHotkeyBox(FrameFieldControl&& control, int hotkey);

    // Sets the first progress bar with id 0 and redraws it at once; false when there is none.
    bool SetProgress(float progress);
    // The first check box / hotkey box with id 0.
    bool SetCheck(bool checked);
    bool SetHotkey(int hotkey);
    // By id: BM_GETCHECK equals 1 / the HKM_GETHOTKEY result; false / 0 for no such control.
    bool IsChecked(int id) const;
    int Hotkey(int id) const;
    FrameComboBox* FindComboBox(int id);
    bool SetLabelText(int id, const char16_t* text);

    // Keeps the attached window over the frame at its offset.
    void PlaceAttached();

    // The whole look into a 32-bit top-down pixel buffer (premultiplied alpha), exactly as the
    // layered window shows it. For tests and the layered push.
    bool Compose(OffscreenBitmap& target);
    // Composes and hands the image to the system (layered mode).
    void PushLayered();
    // A layered frame's look changed: pushed at once when visible, else when next shown.
    void RefreshLayered();
    // Something drawn was added or changed: refresh in either paint mode.
    void LookChanged();

    static void SetMessageHook(FrameMessageHook hook);
    static FrameMessageHook MessageHook();
    static void SetButtonHandler(FrameButtonHandler handler);
    static FrameButtonHandler ButtonHandler();

    HWND window = nullptr;  // null before creation and after destruction
    int paintMode = 1;      // 0 = layered, non-zero = direct; the window type at creation
    int width = 0;          // size given at creation
    int height = 0;
    int slot;               // 0..6
    BYTE followAttached = 1;
    FrameImage background;  // stretched to the window
    WString region;         // resource name of the window region once set
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

private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    // Mouse messages: the state every button takes from the cursor, and the handler on a
    // release inside a button.
    void TrackButtons(UINT message, POINT cursor);
    void RedrawButton(_dword index);
    void PaintDirect(HWND hwnd);
    FrameImage DecodeNamedImage(const char16_t* name);
    void ReleaseImages();

    // The background stretched to the given size as premultiplied pixels; null without one.
    const uint32_t* BackgroundPixels(int targetWidth, int targetHeight);
    // The composition buffer at the given size, kept between compositions.
    OffscreenBitmap* CompositionBuffer(int targetWidth, int targetHeight);

    GdiplusSession gdiplus;
    // The background is stretched once per size and source; each composition copies it.
    std::vector<uint32_t> scaledBackground;
    int scaledWidth = 0;
    int scaledHeight = 0;
    Gdiplus::Bitmap* scaledFrom = nullptr;  // the image it was scaled from
    OffscreenBitmap* composition = nullptr;
    bool layeredStale = false;                    // changed while hidden
};

} // namespace Volux
