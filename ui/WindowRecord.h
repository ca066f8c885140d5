// Window procedures of record-backed windows: the record given to CreateWindowEx is kept in
// the window's user data from the system's own WM_NCCREATE (one sent later is ignored) until
// WM_NCDESTROY, when the record forgets the window. T has a public `window` member.
#pragma once

#include <windows.h>

namespace Volux {

template <class T>
LRESULT RouteToRecord(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                      LRESULT (T::*handle)(HWND, UINT, WPARAM, LPARAM)) {
    if (message == WM_NCCREATE && GetWindowLongPtrW(hwnd, GWLP_USERDATA) == 0 && lparam != 0) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* record = reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (record == nullptr)
        return DefWindowProcW(hwnd, message, wparam, lparam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        if (record->window == hwnd)
            record->window = nullptr;
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    return (record->*handle)(hwnd, message, wparam, lparam);
}

} // namespace Volux
