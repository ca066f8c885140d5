#include "ui/LoadingWindow.h"

#include "ui/GdiplusApi.h"

#include "Platform/WideText_win32.h"
#include "ui/FrameLayout.h"
#include "ui/GdiplusFonts.h"
#include "ui/OffscreenBitmap.h"
#include "ui/ResourceImage.h"

namespace Volux {

namespace {

const wchar_t* const _CLASS_NAME = L"Volux Main Window";

LoadingWindowHooks sHooks;
bool sHooksSet = false;

LRESULT CALLBACK HostProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_MOUSEACTIVATE) {
        SetFocus(window);
        return 0;
    }
    if (!sHooksSet || sHooks.onMessage == nullptr)
        return DefWindowProcW(window, message, wparam, lparam);
    if (message == WM_SETCURSOR) {
        // Only the client area's cursor is the plug-in's business.
        if (HWND(wparam) == window && LOWORD(lparam) == HTCLIENT && sHooks.onMessage(window, message, wparam, lparam))
            return 0;
        return DefWindowProcW(window, message, wparam, lparam);
    }
    if (sHooks.onMessage(window, message, wparam, lparam))
        return message == WM_IME_REQUEST ? 1 : 0;
    if (message == WM_CLOSE)
        PostQuitMessage(0);
    return DefWindowProcW(window, message, wparam, lparam);
}

} // namespace

void SetLoadingWindowHooks(const LoadingWindowHooks* hooks) {
    sHooksSet = hooks != nullptr;
    sHooks = hooks != nullptr ? *hooks : LoadingWindowHooks();
}

const LoadingWindowHooks* LoadingWindowHooksInstalled() { return sHooksSet ? &sHooks : nullptr; }

bool CreateLoadingWindow(HWND parent, int x, int y, int width, int height, const char16_t* title, HWND& window) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = HostProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(nullptr, IDI_WINLOGO);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = _CLASS_NAME;
    RegisterClassExW(&windowClass);  // fails harmlessly once registered
    const FrameRect place = MakeFrameRect(x, y, width, height);
    window = CreateWindowExW(0, _CLASS_NAME, WidePtr(title != nullptr ? title : u""), WS_CHILD | WS_VISIBLE,
                             place.left, place.top, place.right - place.left, place.bottom - place.top, parent, nullptr,
                             instance, nullptr);
    if (window == nullptr)
        return false;
    MoveWindow(window, place.left, place.top, place.right - place.left, place.bottom - place.top, TRUE);
    if (sHooksSet && sHooks.onCreate != nullptr)
        return sHooks.onCreate(window);
    return true;
}

LoadingScreen::~LoadingScreen() { Release(); }

void LoadingScreen::Load(const char16_t* animationResource) {
    Release();
    gdiplus = new GdiplusSession();
    if (!gdiplus->IsStarted())
        return;
    frameCount = LoadResourceFrames(animationResource, frames, _FRAMES);
    figureFont = NewPixelFont(u"Arial", 10.0f);
    messageFont = NewPixelFont(u"Arial", 13.0f);
}

void LoadingScreen::Release() {
    for (int i = 0; i < frameCount; i++) {
        delete frames[i];
        frames[i] = nullptr;
    }
    frameCount = 0;
    frame = 0;
    clock = 0;
    delete figureFont;
    figureFont = nullptr;
    delete messageFont;
    messageFont = nullptr;
    // GDI+ goes last: the images and fonts above belong to it.
    delete gdiplus;
    gdiplus = nullptr;
}

void LoadingScreen::Advance(unsigned elapsed) {
    if (frameCount == 0)
        return;
    clock += elapsed;
    if (clock > unsigned(_FRAME_MS)) {
        clock = 0;
        // A late tick still moves one frame: the animation never jumps.
        frame = (frame + 1) % _FRAMES;
    }
}

void LoadingScreen::Draw(HDC target, int width, int height, float progress, bool showMessage,
                         const char16_t* message) {
    if (gdiplus == nullptr || !gdiplus->IsStarted() || target == nullptr || width <= 0 || height <= 0)
        return;
    Gdiplus::Graphics graphics(target);
    graphics.Clear(Gdiplus::Color(0xFF111111));
    // With fewer frames than the cycle the last one available stays.
    Gdiplus::Bitmap* image = frameCount > 0 ? frames[frame < frameCount ? frame : frameCount - 1] : nullptr;
    if (image == nullptr)
        return;  // everything else is placed around the animation
    const int w = INT(image->GetWidth());
    const int h = INT(image->GetHeight());
    // Centred in the client area.
    const int left = (width - w) / 2;
    const int top = (height - h) / 2;
    graphics.DrawImage(image, left, top, w, h);
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
    Gdiplus::SolidBrush white(Gdiplus::Color(0xFFFFFFFF));
    Gdiplus::StringFormat centred;
    centred.SetAlignment(Gdiplus::StringAlignmentCenter);
    centred.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    if (figureFont != nullptr) {
        char16_t figure[16];
        ProgressFigure(progress, figure, 16);
        graphics.DrawString(WidePtr(figure), -1, figureFont,
                            Gdiplus::RectF(float(left), float(top), float(w), float(h)), &centred, &white);
    }
    if (showMessage && messageFont != nullptr && message != nullptr && message[0] != 0) {
        graphics.DrawString(WidePtr(message), -1, messageFont,
                            Gdiplus::RectF(float(left + w / 2 - 200), float(top + h), 400.0f, 60.0f), &centred, &white);
    }
}

void LoadingScreen::Paint(HWND window, float progress, bool showMessage, const char16_t* message) {
    RECT client;
    if (window == nullptr || !GetClientRect(window, &client))
        return;
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    OffscreenBitmap buffer(width, height);
    if (!buffer.IsValid())
        return;
    Draw(buffer.Dc(), width, height, progress, showMessage, message);
    HDC dc = GetDC(window);
    if (dc != nullptr) {
        BitBlt(dc, 0, 0, width, height, buffer.Dc(), 0, 0, SRCCOPY);
        ReleaseDC(window, dc);
    }
}

} // namespace Volux
