#include "ui/WebWindowPopup.h"

#include "ui/WebWindow.h"

namespace Volux {

bool HandlePopupMessage(WebWindow& page, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    if (message == WM_CLOSE && page.hideOnClose) {
        HidePage(page);
        if (page.parent != nullptr)
            SendMessageW(page.parent, _WM_PAGE_RESTORED, wparam, lparam);
        result = 0;
        return true;
    }
    (void)hwnd;
    return false;
}

} // namespace Volux
