// Shared by the web window and browser host tests: a parent window that records the notices
// pages send it, and a document whose answers the test sets.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/WebWindow.h"

namespace VoluxTest {

struct Notice {
    UINT message;
    std::u16string text;  // wparam read as engine text, for the page-title and page-log notices
    WPARAM wparam;
    LPARAM lparam;
};

inline std::vector<Notice>& Notices() {
    static std::vector<Notice> notices;
    return notices;
}

inline LRESULT CALLBACK RecordingProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if ((message >= Volux::_WM_PAGE_NEW_MESSAGE && message <= Volux::_WM_PAGE_RESTORED) || message == WM_CLOSE) {
        Notice notice{message, std::u16string(), wparam, lparam};
        if ((message == Volux::_WM_PAGE_TITLE || message == Volux::_WM_PAGE_LOG) && wparam != 0)
            notice.text = reinterpret_cast<const char16_t*>(wparam);
        Notices().push_back(notice);
        return 0;  // WM_CLOSE too: the parent stays
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

// A visible top-level window at (x, y) that records what reaches it.
inline HWND CreateRecordingParent(int x, int y, int width, int height) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = RecordingProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.lpszClassName = L"VoluxWebTestParent";
        RegisterClassExW(&windowClass);
        registered = true;
    }
    Notices().clear();
    return CreateWindowExW(0, L"VoluxWebTestParent", L"parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, width,
                           height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

inline int CountNotices(UINT message) {
    int count = 0;
    for (const Notice& notice : Notices())
        count += notice.message == message ? 1 : 0;
    return count;
}

// Named apart from the launcher tests' fake document: both are linked into one program.
class RecordingDocument : public Volux::PageDocument {
public:
    int Navigate(const char16_t* url) override {
        navigated.push_back(url);
        return navigateAnswer;
    }
    bool IsReady() override { return ready; }
    Volux::WString Location() override { return Volux::WString(location.c_str()); }
    Volux::WString FormFields() override { return Volux::WString(fields.c_str()); }
    bool Reload() override { return true; }

    std::vector<std::u16string> navigated;
    int navigateAnswer = 0;
    bool ready = true;
    std::u16string location;
    std::u16string fields;
};

// WS_VISIBLE of the window itself, whatever its parent's state.
inline bool IsShown(HWND window) { return (GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

} // namespace VoluxTest
