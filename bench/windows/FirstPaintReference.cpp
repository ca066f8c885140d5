// The smallest Win32 program that shows a window: registers a class, creates an 800 x 600
// popup, and prints how long after its process began the first WM_PAINT came, then quits.
// The first-paint benchmark sets the launcher's time against this one's.
#include <windows.h>

#include <stdio.h>

#include "ui/ProcessClock.h"

namespace {

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
        EndPaint(window, &paint);
        printf("first paint %u ms\n", Volux::ProcessAgeMs());
        fflush(stdout);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = L"FirstPaintReference";
    RegisterClassExW(&windowClass);
    HWND window = CreateWindowExW(0, L"FirstPaintReference", L"reference", WS_POPUP, 0, 0, 800, 600, nullptr,
                                  nullptr, instance, nullptr);
    ShowWindow(window, SW_SHOW);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
