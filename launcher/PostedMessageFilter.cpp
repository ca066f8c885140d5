#include "launcher/PostedMessageFilter.h"

#include "Common/Log.h"
#include "launcher/MainWindowMessages.h"
#include "ui/LoadingWindow.h"
#include "ui/WebWindow.h"

namespace Volux {

namespace {

HHOOK sHook = nullptr;

LRESULT CALLBACK FilterPosted(int code, WPARAM wparam, LPARAM lparam) {
    // Only messages taken off the queue: a peek that leaves the message there sees it again.
    if (code == HC_ACTION && wparam == PM_REMOVE) {
        auto* message = reinterpret_cast<MSG*>(lparam);
        if (message != nullptr && IsPointerMessage(message->message)) {
            PrintLine(u"[MC] Posted message %u refused", unsigned(message->message));
            message->message = WM_NULL;
            message->wParam = 0;
            message->lParam = 0;
        }
    }
    return CallNextHookEx(sHook, code, wparam, lparam);
}

} // namespace

bool IsPointerMessage(UINT message) {
    return message == _WM_INVOKE || message == _WM_PAGE_TITLE || message == _WM_PAGE_LOG ||
           message == _WM_PLATFORM_PAGE;
}

bool InstallPostedMessageFilter() {
    if (sHook != nullptr)
        return true;
    sHook = SetWindowsHookExW(WH_GETMESSAGE, &FilterPosted, nullptr, GetCurrentThreadId());
    if (sHook == nullptr) {
        PrintBoth(u"[MC] Posted message filter could not be installed, error %d", int(GetLastError()));
        return false;
    }
    return true;
}

void RemovePostedMessageFilter() {
    if (sHook != nullptr) {
        UnhookWindowsHookEx(sHook);
        sHook = nullptr;
    }
}

} // namespace Volux
