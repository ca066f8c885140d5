// Window procedures of record-backed windows: the record given to CreateWindowEx is kept in
// the window's user data from the system's own WM_NCCREATE (one sent later is ignored) until
// WM_NCDESTROY, when the record forgets the window. T has a public `window` member.
#pragma once

#include <windows.h>

namespace Volux {

// `handle` is called as handle(record, hwnd, message, wparam, lparam).
template <class T, class Handler>
LRESULT RouteToRecordWith(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, Handler handle) {
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
    return handle(*record, hwnd, message, wparam, lparam);
}

template <class T>
LRESULT RouteToRecord(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                      LRESULT (T::*handle)(HWND, UINT, WPARAM, LPARAM)) {
    return RouteToRecordWith<T>(hwnd, message, wparam, lparam,
                                [handle](T& record, HWND h, UINT m, WPARAM w, LPARAM l) { return (record.*handle)(h, m, w, l); });
}

} // namespace Volux
