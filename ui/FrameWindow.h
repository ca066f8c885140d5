// Frame windows: borderless top-level windows addressed by a slot 0..6. Slot 0 is the game
// frame made at start-up; scripts make the others. So far a frame is a plain window: images,
// buttons, labels, bars, controls and layered painting come with the frame script functions.
#pragma once

#include <windows.h>

namespace Volux {

class FrameWindow;

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

private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    void Paint(HWND hwnd);
};

} // namespace Volux
