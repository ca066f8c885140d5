#include "ui/FrameWindow.h"

#include "Common/EngineContext.h"
#include "Script/IScriptManager.h"
#include "launcher/Wide.h"

namespace Volux {

namespace {

FrameMessageHook sMessageHook = nullptr;

// CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS.
constexpr UINT _CLASS_STYLE = 0x000B;

} // namespace

FrameWindow::FrameWindow(int slot) : slot(slot) {}

FrameWindow::~FrameWindow() {
    Destroy();
    // The user buttons' script objects were held for their clicks; the frame lets them go.
    IScriptManager* scripts = EngineContext::Get().scriptManager;
    for (_dword i = 0; i < buttons.Count(); i++) {
        if (buttons[i].button != nullptr && scripts != nullptr)
            scripts->ReleaseObject(buttons[i].button);
        buttons[i].button = nullptr;
    }
}

bool FrameWindow::SetProgress(float progress) {
    for (_dword i = 0; i < progressBars.Count(); i++) {
        if (progressBars[i].id != 0)
            continue;
        progressBars[i].progress = progress < 0 ? 0 : progress > 1 ? 1 : progress;
        if (window != nullptr) {
            const FrameRect& rect = progressBars[i].rect;
            RECT area = {rect.left, rect.top, rect.right, rect.bottom};
            InvalidateRect(window, &area, FALSE);
            UpdateWindow(window);
        }
        return true;
    }
    return false;
}

void FrameWindow::SetMessageHook(FrameMessageHook hook) { sMessageHook = hook; }

FrameMessageHook FrameWindow::MessageHook() { return sMessageHook; }

bool FrameWindow::Create(const char16_t* title, int x, int y, int newWidth, int newHeight, int type) {
    HINSTANCE instance = GetModuleHandleW(nullptr);

    // Registered on every creation; the failure for an already registered class is harmless.
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = _CLASS_STYLE;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(nullptr, IDI_WINLOGO);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = _CLASS_NAME;
    RegisterClassExW(&windowClass);

    DWORD style = 0;
    DWORD extendedStyle = 0;
    if (type == 0 || type == 1) {
        style = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX;
    } else if (type == 2) {
        style = WS_POPUP;
        extendedStyle = WS_EX_TOOLWINDOW;
    }

    paintMode = type;
    width = newWidth;
    height = newHeight;
    // Without WS_VISIBLE: the launcher shows frames when their turn comes.
    HWND created = CreateWindowExW(extendedStyle, _CLASS_NAME, AsWide(title != nullptr ? title : u""), style, x, y,
                                   newWidth, newHeight, nullptr, nullptr, instance, this);
    window = created;
    return created != nullptr;
}

void FrameWindow::Destroy() {
    if (window == nullptr)
        return;
    HWND destroyed = window;
    window = nullptr;
    DestroyWindow(destroyed);
}

void FrameWindow::Show() {
    if (window != nullptr)
        ShowWindow(window, SW_SHOW);
}

void FrameWindow::Hide() {
    if (window != nullptr)
        ShowWindow(window, SW_HIDE);
}

LRESULT CALLBACK FrameWindow::WindowProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* frame = reinterpret_cast<FrameWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (frame == nullptr)
        return DefWindowProcW(hwnd, message, wparam, lparam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        if (frame->window == hwnd)
            frame->window = nullptr;
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    return frame->HandleMessage(hwnd, message, wparam, lparam);
}

LRESULT FrameWindow::HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    // The handle is stored only once CreateWindowEx has returned and cleared before the window
    // is destroyed, so the hook sees only frames that the launcher knows.
    if (window != nullptr && sMessageHook != nullptr && sMessageHook(FrameMessage{message, wparam, lparam, this}))
        return 0;

    switch (message) {
    case WM_CLOSE:
        PostQuitMessage(0);
        break;
    case WM_NCPAINT:
        // No frame or caption is drawn.
        return 0;
    case WM_ERASEBKGND:
        // Painting covers the whole window; erasing first would only flicker.
        return 1;
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_NCHITTEST:
        // A frame without buttons is all caption: every point drags the window.
        return HTCAPTION;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

void FrameWindow::Paint(HWND hwnd) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    if (dc != nullptr) {
        // Until a background image is set, the frame shows a plain face instead of whatever
        // lay beneath it.
        FillRect(dc, &paint.rcPaint, GetSysColorBrush(COLOR_WINDOW));
        EndPaint(hwnd, &paint);
    }
}

} // namespace Volux
